// A helper process for the tests of several copies of the game: one real game window
// that finishes one game into the high-score table and then leaves.
//   game_player SCORE NAME [colours] [sound] [stay]
// It says "ready", waits for a line on stdin, then steps the colour count and/or
// switches the sound if asked, finishes a game worth SCORE, types NAME and Enter in
// name entry, and closes the window. With "stay" it types only the first two letters,
// says "naming" and waits in name entry until the program is ended from outside.
#include <cstdio>

#include "TestSupport.h"
#include "platform/SignalBridge.h"

using namespace orbelix;
using namespace orbelix::testing;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 3) {
        std::fputs("usage: game_player SCORE NAME [colours] [sound] [stay]\n", stderr);
        return 2;
    }
    const int32_t score = args[1].toInt();
    const QString name = args[2];
    const bool stay = args.contains(QStringLiteral("stay"));
    Pause::SetMillisecondsPerSecond(0);

    frmMain window;
    SignalBridge sessionEnd([&window] { window.RequestClose(); });
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) return 3;
    std::puts("ready");
    std::fflush(stdout);
    char line[16];
    if (std::fgets(line, sizeof line, stdin) == nullptr) return 4;

    if (args.contains(QStringLiteral("colours"))) Click(Control(window, "pctColors", 0));
    if (args.contains(QStringLiteral("sound"))) Click(Control(window, "pctSound"));

    // One pair of balls: removing it ends the game.
    BoardGrid board;
    board(1, 10, 1) = 1;
    board(1, 9, 1) = 1;
    StartGameWith(window, board, score - 4);
    WhenModal([&](QWidget* modal) {
        QTest::keyClicks(modal, stay ? name.left(2) : name);
        if (stay) {
            std::puts("naming");
            std::fflush(stdout);
            return;
        }
        QTest::keyClick(modal, Qt::Key_Return);
        modal->close();
    });
    PressOnBall(window, 1, 10, 1);
    window.close();
    return 0;
}
