#pragma once

#include "app/CommandLine.h"

namespace orbelix {

class frmMain;

// What the window shows first, as the command line and the settings ask: board N
// (--board), the kept game (--resume, or always once the player chose so), or the
// title as on every plain start. Problems go to stderr; the game starts anyway.
void StartAsAsked(frmMain& window, const GameOptions& options);

}  // namespace orbelix
