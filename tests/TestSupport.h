#pragma once

// Shared by the window tests: a private settings folder, an instant end-of-game pause,
// and helpers to set up boards and press on balls.
#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

#include "platform/Pause.h"
#include "platform/SettingsFile.h"
#include "ui/frmMain.h"

namespace orbelix::testing {

// Points the per-user settings at a fresh folder. Call before the first window is made.
inline QTemporaryDir& UsePrivateSettings() {
    static QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
    // The game in progress is kept there too, away from the player's own.
    qputenv("XDG_STATE_HOME", dir.filePath(QStringLiteral("state")).toLocal8Bit());
    return dir;
}

inline void ForgetSettings() {
    const QFileInfo file(SettingsFile::Path());
    QFile::remove(file.filePath());
    // Changes kept aside by a save that could not be made.
    for (const QString& side : file.dir().entryList({file.fileName() + QStringLiteral(".unsaved-*")}))
        QFile::remove(file.dir().filePath(side));
}

// A control of a window by its name ("pctNew"), or by the name of its array and its
// index ("imgScore", 0 for "imgScore_0").
inline PictureBox* Control(const QWidget& window, const QString& name) {
    auto* box = window.findChild<PictureBox*>(name);
    if (box == nullptr) qFatal("no control %s", qPrintable(name));
    return box;
}
inline PictureBox* Control(const QWidget& window, const char* name) {
    return Control(window, QString::fromLatin1(name));
}
inline PictureBox* Control(const QWidget& window, const char* array, int index) {
    return Control(window, QStringLiteral("%1_%2").arg(QLatin1String(array)).arg(index));
}

inline void GuardAgainstStrayModals();

// A main window on a clean store and table, shown and ready for clicks, with an
// instant end-of-game pause.
inline std::unique_ptr<frmMain> OpenFreshWindow() {
    UsePrivateSettings();
    ForgetSettings();
    Pause::SetMillisecondsPerSecond(0);
    GuardAgainstStrayModals();
    auto window = std::make_unique<frmMain>();
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get())) qFatal("the window was not shown");
    return window;
}

// The centre of the visible part of a ball on the playing surface: the front ball's
// middle, or the middle of the crescent that a middle or back ball shows.
inline QPoint BallPoint(int column, int row, int layer) {
    const QPoint at = BallPlacement(column, row, layer);
    const int dx = layer == 1 ? 12 : 18;
    return at + QPoint(dx, layer == 1 ? 12 : 12);
}

// A board where no two neighbours share a colour: colours 1 and 2 alternate.
inline BoardGrid Checkered() {
    BoardGrid board;
    for (int c = 1; c <= Columns; ++c)
        for (int r = 1; r <= Rows; ++r)
            for (int l = 1; l <= Layers; ++l)
                board(c, r, l) = static_cast<int16_t>(1 + (c + r + l) % 2);
    return board;
}

// A dealt board of six colours whose third column is one colour in all three layers: one
// click empties it and the columns to its right close up.
inline BoardGrid ColumnBoard() {
    UniformRandom random;
    random.seed(3);
    BoardGrid board;
    FillRandom(board, 6, random);
    for (int r = 1; r <= Rows; ++r)
        for (int l = 1; l <= Layers; ++l) board(3, r, l) = 9;
    return board;
}

// The first cell, in reading order, whose group a move would remove; a null cell when
// none is left.
inline Cell FirstMove(const BoardGrid& board) {
    for (int l = 1; l <= Layers; ++l)
        for (int r = 1; r <= Rows; ++r)
            for (int c = 1; c <= Columns; ++c) {
                if (board(c, r, l) == 0) continue;
                GroupList group;
                const Cell cell{static_cast<int16_t>(r), static_cast<int16_t>(c),
                                static_cast<int16_t>(l)};
                if (CollectGroup(board, group, cell) >= 2) return cell;
            }
    return {};
}

// Starts a game on the window on the board given, with the score given.
inline void StartGameWith(frmMain& window, const BoardGrid& board, int32_t score = 0) {
    window.NewGameOn(board, score);
}

inline void PressOnBall(frmMain& window, int column, int row, int layer,
                        Qt::MouseButton button = Qt::LeftButton) {
    PictureBox* board = Control(window, "pctBoard");
    QTest::mousePress(board, button, {}, BallPoint(column, row, layer));
    QTest::mouseRelease(board, button, {}, BallPoint(column, row, layer));
}

// Finishes a game on the window with the final score given: a game on a board of one
// pair, which a click takes.
inline void FinishGameWith(frmMain& window, int32_t score) {
    BoardGrid pair;
    pair(1, 10, 1) = 1;
    pair(1, 9, 1) = 1;
    StartGameWith(window, pair, score - 4);
    PressOnBall(window, 1, 10, 1);
}

inline void Click(QWidget* widget) {
    QTest::mouseClick(widget, Qt::LeftButton, {},
                      QPoint(widget->width() / 2, widget->height() / 2));
}

// Closes every modal window that is up, so that the call that opened one returns.
inline void CloseModalWindows() {
    for (int i = 0; i < 10; ++i) {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) return;
        modal->close();
    }
}

// The test function and data row running now ("" outside a test run).
inline QByteArray CurrentTest() {
    return QByteArray(QTest::currentTestFunction()) + '/' + QTest::currentDataTag();
}

// How many WhenModal calls are still waiting for their window.
inline int& ModalsAwaited() {
    static int awaited = 0;
    return awaited;
}

namespace detail {
inline void LookForModal(std::function<void(QWidget*)> inside, int looksLeft, QByteArray asker) {
    QTimer::singleShot(0, [inside, looksLeft, asker] {
        QWidget* modal = QApplication::activeModalWidget();
        if (CurrentTest() == asker && modal == nullptr && looksLeft > 0)
            return LookForModal(inside, looksLeft - 1, asker);
        if (CurrentTest() != asker || modal == nullptr) {
            --ModalsAwaited();
            QVERIFY2(CurrentTest() != asker, "no modal window opened");
            return;
        }
        inside(modal);
        --ModalsAwaited();
        if (QTest::currentTestFailed()) CloseModalWindows();
    });
}
}  // namespace detail

// Runs `inside` as soon as the next modal window is up (the high-score window). The end
// of a game handles waiting events before its window opens, so a look that comes too
// early looks again, a bounded number of times, and never once its test is over. A check
// that fails inside returns from `inside` with the window still open: it is closed then,
// so the test fails at once instead of waiting for a player.
inline void WhenModal(std::function<void(QWidget*)> inside, int looksLeft = 1000) {
    ++ModalsAwaited();
    detail::LookForModal(std::move(inside), looksLeft, CurrentTest());
}

// A modal window that no test awaits (a key that ended the game by mistake, say) would
// wait for a player for ever: after two seconds it is closed and the test fails.
inline void GuardAgainstStrayModals() {
    static QTimer* guard = nullptr;
    if (guard != nullptr) return;
    guard = new QTimer(qApp);
    guard->setInterval(100);
    QObject::connect(guard, &QTimer::timeout, [] {
        static int looks = 0;
        if (QApplication::activeModalWidget() == nullptr || ModalsAwaited() > 0) {
            looks = 0;
            return;
        }
        if (++looks < 20) return;
        looks = 0;
        CloseModalWindows();
        QTest::qFail("a modal window opened that the test did not await", __FILE__, __LINE__);
    });
    guard->start();
}

}  // namespace orbelix::testing
