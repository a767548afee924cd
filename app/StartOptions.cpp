#include "app/StartOptions.h"

#include <cstdio>

#include "ui/frmMain.h"

namespace orbelix {

void StartAsAsked(frmMain& window, const GameOptions& options) {
    if (options.zoom != 0 && !window.SetZoom(options.zoom, false))
        std::fprintf(stderr, "orbelix: at zoom %d the window would not fit on the screen\n",
                     options.zoom);
    if (options.board != 0)
        window.NewNumberedGame(options.board);
    else if (options.resume || window.alwaysResume())
        window.ResumeKeptGame(options.resume);
}

}  // namespace orbelix
