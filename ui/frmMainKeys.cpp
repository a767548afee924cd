// The main window from the keyboard and to a screen reader: its keys, what its controls
// are, and the moves and switches that keys make.
#include <QKeyEvent>

#include "ui/Accessibility.h"
#include "ui/frmMain.h"

namespace orbelix {

void frmMain::bindKeys() {
    const auto onMain = [this](void (frmMain::*handler)()) {
        // Each acts only while the main screen is up, as a click on its button does.
        return [this, handler] {
            if (screens_.mainIsUp()) (this->*handler)();
        };
    };
    keys_.bind(KeyAction::NewGame, onMain(&frmMain::pctNew_Click));
    keys_.bind(KeyAction::Undo, onMain(&frmMain::pctUndo_Click));
    keys_.bind(KeyAction::Help, onMain(&frmMain::pctHelp_Click));
    keys_.bind(KeyAction::Exit, onMain(&frmMain::pctExit_Click));
    keys_.bind(KeyAction::ZoomIn, [this] { placement_.zoomBy(1); });
    keys_.bind(KeyAction::ZoomOut, [this] { placement_.zoomBy(-1); });
    keys_.bind(KeyAction::ZoomReset, [this] { placement_.zoomBy(0); });
    keys_.bind(KeyAction::CursorLeft, [this] { overlay_->moveCursor(-1, 0); });
    keys_.bind(KeyAction::CursorRight, [this] { overlay_->moveCursor(1, 0); });
    keys_.bind(KeyAction::CursorUp, [this] { overlay_->moveCursor(0, -1); });
    keys_.bind(KeyAction::CursorDown, [this] { overlay_->moveCursor(0, 1); });
    keys_.bind(KeyAction::CursorLayer, [this] { overlay_->stepLayer(); });
    keys_.bind(KeyAction::PlayAtCursor, [this] { playAtCursor(); });
    keys_.bind(KeyAction::ToggleSymbols, [this] { toggleSymbols(); });
    keys_.bind(KeyAction::ToggleGuide, [this] { toggleGuide(); });
    keys_.bind(KeyAction::Hint, [this] {
        if (screens_.mainIsUp()) hints_->ask();
    });
    keys_.bind(KeyAction::ToggleAlwaysResume, [this] { toggleAlwaysResume(); });
    keys_.bind(KeyAction::CopyBoard, [this] { copyBoard(); });
    keys_.bind(KeyAction::ShowStatistics, [this] {
        if (screens_.mainIsUp() || screens_.current() == Screen::Help) showStatisticsPage();
    });
    // The help, about and statistics pages close as a click on them does.
    keys_.bind(KeyAction::ClosePage, [this] {
        if (screens_.current() == Screen::Help) pctHelpText_Click();
        if (screens_.current() == Screen::About) pctAboutText_Click();
        if (screens_.current() == Screen::Statistics) hideStatisticsPage();
    });
}

void frmMain::keyPressEvent(QKeyEvent* event) {
    const KeyPlace place = screens_.mainIsUp() ? KeyPlace::Main : KeyPlace::Page;
    if (screens_.current() != Screen::HighScores && keys_.dispatch(place, *event)) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void frmMain::describeControls() {
    using Accessibility::Kind;
    Accessibility::Install();
    // Tab goes from the board down the column of buttons.
    pctBoard->setFocusPolicy(Qt::TabFocus);
    Accessibility::SetKind(pctBoard, Kind::Board);
    QWidget* previous = pctBoard;
    for (PictureBox* button :
         {pctNew, pctHighScores, pctColors[0], pctSound, pctUndo, pctHelp, pctAbout, pctExit}) {
        button->setPressable(true);
        Accessibility::SetKind(button, Kind::Button);
        setTabOrder(previous, button);
        previous = button;
    }
    for (PictureBox* page : {pctHelpText, pctAboutText}) {
        page->setPressable(true);
        Accessibility::SetKind(page, Kind::Button);
    }
    Accessibility::SetKind(imgScore[0], Kind::Score);
    imgScore[0]->setAccessibleName(tr("Score"));
    for (int i = 1; i < 6; ++i) Accessibility::SetKind(imgScore[i], Kind::Hidden);
    Accessibility::SetKind(pctOrbelix, Kind::Label);
    pctOrbelix->setAccessibleName(QStringLiteral("Orbelix"));
    Accessibility::SetKind(pctGameOver, Kind::Label);
    pctGameOver->setAccessibleName(tr("Game Over!"));

    // Names and descriptions for screen readers: every clickable picture says what it does.
    const auto describe = [](PictureBox* box, const QString& name, const QString& description) {
        box->setAccessibleName(name);
        box->setAccessibleDescription(description);
    };
    describe(pctNew, tr("New game"), tr("Starts a new game with a fresh board (Ctrl+N)"));
    describe(pctUndo, tr("Undo"), tr("Takes back the last move that removed balls (Ctrl+Z)"));
    describe(pctHelp, tr("Help"), tr("Shows how to play (F1)"));
    describe(pctAbout, tr("About"), tr("Shows the program's name, makers and version"));
    describe(pctExit, tr("Exit"), tr("Saves the settings and closes the game (Ctrl+Q)"));
    describe(pctHighScores, tr("High scores"), tr("Shows the ten best results"));
    describe(pctHelpText, tr("How to play"),
             tr("Click on identical adjacent pieces to score points. Click to go back."));
    describe(pctAboutText, tr("About Orbelix"),
             tr("Orbelix by Orbelix developers, version %1. Click to go back.")
                 .arg(QStringLiteral(ORBELIX_VERSION)));
    describe(pctBoard, tr("Board"), tr("Click a ball to remove its group of one colour"));
}

void frmMain::describeOptions() {
    pctColors[0]->setAccessibleName(tr("Colour count: %1 colours").arg(game_.colorCount()));
    pctColors[0]->setAccessibleDescription(
        tr("Steps the number of colours of the next game, 6 to 13"));
    pctSound->setAccessibleName(SoundIsOn() ? tr("Sound on") : tr("Sound off"));
    pctSound->setAccessibleDescription(tr("Switches the sound of removed balls on or off"));
}

QString frmMain::mainScreenKeys() const {
    return tr(
        "Keys of the main screen: Control N new game, arrows move the cursor over the "
        "board, L changes the layer, Return or Space removes the group under the "
        "cursor, H hint, Control Z undo, S symbols, G guide, T statistics, R always resume, "
        "Control C copies the board's number, F1 help, Control Q exit. Escape goes back.");
}

void frmMain::sayHowToBegin() {
    if (game_.dealt()) return;  // a game began before the window first had the keyboard
    overlay_->tell(tr("Orbelix. Control N or the New button starts a game; F1 tells how to "
                      "play."),
                   false);
}

bool frmMain::boardTakesMoves() const {
    return game_.gameInProgress() && screens_.mainIsUp();
}

void frmMain::playAtCursor() {
    if (game_.dealt() && !game_.gameInProgress() && screens_.mainIsUp()) {
        overlay_->tell(tr("Game over. Control N starts a new game"), false);
        return;
    }
    if (!boardTakesMoves()) return;
    if (!overlay_->cursorShown()) {
        // The first key only shows where the cursor stands: no move is made blind.
        overlay_->showCursor();
        return;
    }
    Cell cell = overlay_->cursor().at;
    const int32_t before = game_.score();
    RemoveGroup(cell.row, cell.column, cell.layer);
    // A move says what it removed; a lone ball or an empty cell says so, and the cell.
    if (game_.score() == before && game_.gameInProgress()) overlay_->showCursor(tr("No move"));
}

void frmMain::toggleSymbols() {
    overlay_->setSymbols(!overlay_->symbolsOn());
    // A board that New has drawn is redrawn at once; before the first game there is none.
    if (game_.dealt()) DrawBoard();
    overlay_->tell(overlay_->symbolsOn() ? tr("Symbols on") : tr("Symbols off"), false);
}

void frmMain::toggleGuide() {
    overlay_->guide().setOn(!overlay_->guide().on());
    overlay_->tell(overlay_->guide().on() ? tr("Guide on") : tr("Guide off"), false);
}

}  // namespace orbelix
