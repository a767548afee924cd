// A helper process for the tests of several copies of the game: one real game window
// that finishes one game into the high-score table and then leaves.
//   game_player SCORE NAME [colours] [sound] [stay | linger | closebox]
// It says "ready", waits for a line on stdin, then steps the colour count and/or
// switches the sound if asked, finishes a game worth SCORE, types NAME and Enter in
// name entry, and closes the window. With "stay" it types only the first two letters,
// says "naming" and waits in name entry until the program is ended from outside. With
// "linger" it says "played" after the game and waits for another line before closing.
// With "closebox" the end-of-game pause lasts two seconds, and the player says where to
// click for the last move and the window's X id ("click X Y ID"), for a click and a close
// box sent from outside; it leaves when the window closes. Before closing it says
// "longest-freeze" and the longest time in milliseconds the window handled no events.
#include <QSocketNotifier>
#include <cstdio>

#include "TestSupport.h"
#include "platform/SignalBridge.h"

using namespace orbelix;
using namespace orbelix::testing;

static void Say(const QByteArray& line) {
    std::puts(line.constData());
    std::fflush(stdout);
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 3) {
        std::fputs("usage: game_player SCORE NAME [colours] [sound] [stay|linger|closebox]\n",
                   stderr);
        return 2;
    }
    const int32_t score = args[1].toInt();
    const QString name = args[2];
    const bool stay = args.contains(QStringLiteral("stay"));
    bool closeBox = args.contains(QStringLiteral("closebox"));
    Pause::SetMillisecondsPerSecond(closeBox ? 400 : 0);

    frmMain window;
    SignalBridge sessionEnd([&window] { window.RequestClose(); });
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) return 3;
    Say("ready");
    char line[16];
    if (std::fgets(line, sizeof line, stdin) == nullptr) return 4;

    // The longest time the window handles no events (not while a real click is awaited).
    QElapsedTimer sinceTick;
    qint64 longestFreeze = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout,
                     [&] { longestFreeze = std::max(longestFreeze, sinceTick.restart()); });
    sinceTick.start();
    if (!closeBox) ticker.start(1);

    if (args.contains(QStringLiteral("colours"))) Click(Control(window, "pctColors", 0));
    if (args.contains(QStringLiteral("sound"))) Click(Control(window, "pctSound"));

    // One pair of balls: removing it ends the game.
    BoardGrid board;
    board(1, 10, 1) = 1;
    board(1, 9, 1) = 1;
    StartGameWith(window, board, score - 4);
    if (closeBox) {
        // The last move comes as a real click through the window system, from outside.
        const QPoint ball = Control(window, "pctBoard")->mapToGlobal(BallPoint(1, 10, 1));
        Say("click " + QByteArray::number(ball.x()) + ' ' + QByteArray::number(ball.y()) + ' ' +
            QByteArray::number(window.winId()));
        QApplication::exec();
    } else {
        WhenModal([&](QWidget* modal) {
            QTest::keyClicks(modal, stay ? name.left(2) : name);
            if (stay) return Say("naming");
            QTest::keyClick(modal, Qt::Key_Return);
            modal->close();
        });
        PressOnBall(window, 1, 10, 1);
    }
    if (args.contains(QStringLiteral("linger"))) {
        Say("played");
        QEventLoop untilTold;
        QSocketNotifier input(0, QSocketNotifier::Read);
        QObject::connect(&input, &QSocketNotifier::activated, &untilTold, &QEventLoop::quit);
        untilTold.exec();
    }
    Say("longest-freeze " + QByteArray::number(longestFreeze));
    window.close();
    return 0;
}
