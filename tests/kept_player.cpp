// A helper process for the tests of the kept game: the real game window, started as the
// game starts (the same command-line options), played by real clicks on command.
//   kept_player [--board N | --resume]
// It says how it started ("start title" or "start board"), then the game's state, and
// then answers lines on stdin: "move" presses on the first ball in reading order whose
// group can go, "undo" clicks Undo; each says the state after it, or "over" when the
// game has ended. The state line is "state SCORE UNDOSCORE BOARD UNDOBOARD", the boards
// as 300 hex digits.
#include <cstdio>
#include <iostream>
#include <string>

#include "TestSupport.h"
#include "app/StartOptions.h"

using namespace orbelix;
using namespace orbelix::testing;

namespace {

void Say(const QByteArray& line) {
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QByteArray Cells(const BoardGrid& board) {
    QByteArray text;
    for (int r = 1; r <= Rows; ++r)
        for (int c = 1; c <= Columns; ++c)
            for (int l = 1; l <= Layers; ++l) text += "0123456789abcd"[board(c, r, l)];
    return text;
}

void SayState(const frmMain& window) {
    const Game& game = window.game();
    if (!game.gameInProgress()) return Say("over");
    Say("state " + QByteArray::number(game.score()) + ' ' + QByteArray::number(game.undoScore()) +
        ' ' + Cells(game.board()) + ' ' + Cells(game.undoBoard()));
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    Pause::SetMillisecondsPerSecond(0);
    GameOptions options;
    if (const auto answer = ReadGameOptions(QCoreApplication::arguments(), options);
        !answer.startGame())
        return answer.print();
    // The high-score window of a game that ends is closed at once: no one types a name.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    closer.start(20);
    frmMain window;
    StartAsAsked(window, options);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) return 3;
    Say(Control(window, "pctOrbelix")->isVisible() ? "start title" : "start board");
    SayState(window);
    for (std::string line; std::getline(std::cin, line);) {
        if (line == "move") {
            const Cell cell = FirstMove(window.game().board());
            if (cell.row == 0) return 4;
            PressOnBall(window, cell.column, cell.row, cell.layer);
        } else if (line == "undo") {
            Click(Control(window, "pctUndo"));
        } else {
            break;
        }
        SayState(window);
    }
    window.close();
    return 0;
}
