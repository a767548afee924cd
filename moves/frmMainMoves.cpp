// What a click on a ball does: the group, its removal, the score, the sound and the end.
#include <QCoreApplication>
#include <QEvent>

#include "app/frmMain.h"
#include "scores/mdlMain.h"
#include "screens/Environment.h"

namespace orbelix {
namespace {

// Drops every click, key and other input event while it exists.
class InputDropper : public QObject {
public:
    InputDropper() { QCoreApplication::instance()->installEventFilter(this); }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        return event->isInputEvent() || event->type() == QEvent::Shortcut;
    }
};

// Lets what waited through the pause arrive before name entry opens. The window's close
// box is held back with the input; once the high-score window is up it would block the
// main window and Qt would drop that close, so it is taken now: the close marks the
// program as quitting. Clicks and keys are dropped, as the high-score window would
// block them too.
void TakeCloseHeldBackByThePause() {
    InputDropper dropper;
    // A held close can take a pass to be read from the display connection, one to become
    // a window-system event and one to reach the window.
    for (int pass = 0; pass < 3; ++pass) QCoreApplication::processEvents();
}

}  // namespace

bool frmMain::InGroup(int16_t layer, int16_t row, int16_t column) const {
    return Group.InGroup(layer, row, column);
}

void frmMain::RemoveGroup(int16_t& row, int16_t& column, int16_t& layer) {
    ReturnFreedMemorySoon();
    if (Board(column, row, layer) == 0) return;
    inMove_ = true;
    Pointer.set(MousePointer::Hourglass);

    const int n = CollectGroup(Board, Group, {row, column, layer});
    if (n >= 2) {
        UndoBoard = Board;
        UndoColumnsInUse = ColumnsInUse;
        UndoAvailable = true;
        RemoveAndSettle(Board, Group, n, [this] { PlayBleep(QStringLiteral("Bleep.wav"), 1); });
    }
    ColumnsInUse = CloseUpColumns(Board, ColumnsInUse);
    DrawBoard();
    if (n >= 2) {
        UndoScore = Score;
        Score += 2 * n;
        ShowScore();
    }
    Pointer.set(MousePointer::Default);
    if (!AnyMovesLeft()) EndGame();

    inMove_ = false;
    if (closePending_) close();
}

bool frmMain::AnyMovesLeft() {
    Pointer.set(MousePointer::Hourglass);
    const bool found = orbelix::AnyMovesLeft(Board);
    Pointer.set(MousePointer::Default);
    return found;
}

void frmMain::EndGame() {
    Pointer.set(MousePointer::Hourglass);
    pctBoard->setVisible(false);
    pctBoard->Refresh();
    pctGameOver->setVisible(true);
    pctGameOver->Refresh();
    mdlMain::Wait(5);
    Pointer.set(MousePointer::Default);

    mdlMain::PlaceScore(Score);
    // A placed score goes to disk at once, before name entry: a display or session that
    // dies while the name is typed does not lose the game.
    if (mdlMain::NewEntryRow != 0) {
        SaveSettings();
        TakeCloseHeldBackByThePause();
    }
    // A close asked for during the pause skips name entry; the placed score is saved.
    if (mdlMain::NewEntryRow != 0 && !closePending_) {
        HideMainScreen();
        ShowHighScoreWindow();
        ShowMainScreen();
    }
    GameInProgress = false;
}

bool frmMain::SoundIsOn() const { return pctSound->samePicture(pctSoundOn->picture()); }

namespace {

// Beside the program first, as the game ships; else where an installation put it.
std::pair<std::string, std::string> SoundPaths(const QString& fileName) {
    static const std::string programFolder = QCoreApplication::applicationDirPath().toStdString() + '/';
    static const std::string dataFolder = programFolder + ORBELIX_DATADIR + '/';
    const std::string name = fileName.toStdString();
    return {programFolder + name, dataFolder + name};
}

}  // namespace

void frmMain::PlayBleep(const QString& fileName, int16_t flags) {
    Q_UNUSED(flags);  // always an asynchronous start
    if (!SoundIsOn()) return;
    const auto [path, alternative] = SoundPaths(fileName);
    Sound.start(path, alternative);
}

void frmMain::PrepareBleep() {
    if (!SoundIsOn()) return;
    const auto [path, alternative] = SoundPaths(QStringLiteral("Bleep.wav"));
    Sound.prepare(path, alternative);
}

}  // namespace orbelix
