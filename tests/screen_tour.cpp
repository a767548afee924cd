// Opens the real game window in a prepared state, for looking at it and clicking it by
// hand or with xdotool under Xvfb. Test builds only.
//   screen_tour endgame   a game whose only move left is the red pair at the bottom left
//   screen_tour endgame-full   the same, with a table the game cannot reach
//   screen_tour column    a board whose third column is all one colour
//   screen_tour table     a filled high-score table, for the viewing screen
//   screen_tour table-open   the same table, opened at once (where nothing can click)
#include <QApplication>

#include "TestSupport.h"
#include "platform/SignalBridge.h"

using namespace orbelix;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Orbelix"));
    QApplication::setApplicationName(QStringLiteral("Orbelix"));
    const QString scenario = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();

    frmMain window;
    SignalBridge bridge([&window] { window.RequestClose(); });
    window.placement().centreOnScreen();
    window.show();
    if (scenario.startsWith(QLatin1String("endgame"))) {
        // "endgame-full": every table row beats the game, so it ends on "Game Over!".
        if (scenario == QLatin1String("endgame-full"))
            for (int r = 1; r <= 10; ++r) window.table().setRow(r, QString(), 1000);
        BoardGrid board = testing::Checkered();
        board(1, 9, 1) = 5;
        board(1, 10, 1) = 5;
        testing::StartGameWith(window, board);
    } else if (scenario == QLatin1String("column")) {
        testing::StartGameWith(window, testing::ColumnBoard());
    } else if (scenario.startsWith(QLatin1String("table"))) {
        const char* names[10] = {"ANN",  "BOB", "C3PO",    "DORA", "EVE",
                                 "FRED", "GUS", "HAL9000", "IVY",  "JO"};
        for (int r = 1; r <= 10; ++r)
            window.table().setRow(r, QString::fromLatin1(names[r - 1]), 620 - 60 * r);
        if (scenario == QLatin1String("table-open"))
            QTimer::singleShot(500, &window, [&window] {
                testing::Click(testing::Control(window, "pctHighScores"));
            });
    }
    return QApplication::exec();
}
