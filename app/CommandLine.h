#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

namespace orbelix {

// What the command line asks of the game. Each option the game takes has a member here,
// filled in by ReadGameOptions.
struct GameOptions {
    int zoom = 0;          // --zoom N: the zoom for this run, 0 for the stored one
    uint32_t board = 0;    // --board N: the board to start with, 0 for none
    bool resume = false;   // --resume: go on with the kept game
};

// The command line's answer: either go on and start the game, or print and exit.
struct CommandLineAnswer {
    int exitCode = -1;  // -1: start the game
    QString output;     // for standard output
    QString error;      // for standard error
    // The platform asked for by -platform, if any, so that start-up checks look at the
    // right window system.
    QString platform;

    bool startGame() const { return exitCode < 0; }
    // Prints the output and the error and returns the exit code.
    int print() const;
};

// Read before QApplication exists, so it needs no display: answers --help, --help-all
// and --version, and refuses options that neither Qt nor the game knows (exit code 2).
// Qt's own options (-platform, -style, -display, -session...) and their values pass.
CommandLineAnswer AnswerBeforeStart(const QStringList& arguments);

// Read after QApplication has taken its own options out of the command line: fills in
// the game's options. Leftover window-system options of other platforms (-display
// under Wayland) are ignored.
CommandLineAnswer ReadGameOptions(const QStringList& arguments, GameOptions& options);

}  // namespace orbelix
