#pragma once

// Shared by the window tests: a private settings folder, an instant end-of-game pause,
// and helpers to set up boards and press on balls.
#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

#include "app/frmMain.h"
#include "scores/SettingsFile.h"
#include "scores/mdlMain.h"

namespace orbelix::testing {

// Points the per-user settings at a fresh folder. Call before the first window is made.
inline QTemporaryDir& UsePrivateSettings() {
    static QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
    return dir;
}

inline void ForgetSettings() {
    QFile::remove(SettingsFile::Path());
    mdlMain::ClearTable();
    mdlMain::NewEntryRow = 0;
}

// A main window on a clean store and table, shown and ready for clicks, with an
// instant end-of-game pause.
inline std::unique_ptr<frmMain> OpenFreshWindow() {
    UsePrivateSettings();
    ForgetSettings();
    mdlMain::MillisecondsPerSecond = 0;
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

// Starts a game on the window and replaces its board by the one given.
inline void StartGameWith(frmMain& window, const BoardGrid& board) {
    window.pctNew_Click();
    window.Board = board;
    window.DrawBoard();
}

inline void PressOnBall(frmMain& window, int column, int row, int layer,
                        Qt::MouseButton button = Qt::LeftButton) {
    QTest::mousePress(window.pctBoard, button, {}, BallPoint(column, row, layer));
    QTest::mouseRelease(window.pctBoard, button, {}, BallPoint(column, row, layer));
}

inline void Click(QWidget* widget) {
    QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(widget->width() / 2, widget->height() / 2));
}

// Runs `inside` as soon as the next modal window is up (the high-score window). The end
// of a game handles waiting events before its window opens, so a look that comes too
// early looks again, a bounded number of times.
inline void WhenModal(std::function<void(QWidget*)> inside, int looksLeft = 1000) {
    QTimer::singleShot(0, [inside, looksLeft] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr && looksLeft > 0) return WhenModal(inside, looksLeft - 1);
        QVERIFY2(modal != nullptr, "no modal window opened");
        inside(modal);
    });
}

}  // namespace orbelix::testing
