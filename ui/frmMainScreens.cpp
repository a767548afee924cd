// The main screen and the screens shown in its place, the options, the settings and
// leaving.
#include <QApplication>
#include <QCloseEvent>

#include "platform/ExitSave.h"
#include "platform/Pause.h"
#include "ui/frmHighScore.h"
#include "ui/frmMain.h"

namespace orbelix {
namespace {

// How long the last save waits for another copy that holds the lock.
constexpr std::chrono::seconds LastWaitForTheLock{2};

}  // namespace

void frmMain::HideMainScreen() {
    // Hiding the control that has the keyboard would hand it to the next one.
    screens_.takeKeys();
    HideCursor();
    Pointer.set(MousePointer::Hourglass);
    pctBoard->setVisible(false);
    for (PictureBox* digit : imgScore) digit->setVisible(false);
    for (PictureBox* control : {pctExit, pctNew, pctHighScores, pctSound, pctOrbelix})
        control->setVisible(false);
    Pointer.set(MousePointer::Default);
    for (PictureBox* control : {pctGameOver, pctHelp, pctAbout}) control->setVisible(false);
    pctColors[0]->setVisible(false);
    pctUndo->setVisible(false);
}

void frmMain::ShowMainScreen() {
    // First, so that the screen that closes after this hands the keyboard to no button.
    screens_.show(Screen::Main);
    Pointer.set(MousePointer::Hourglass);
    pctBoard->setVisible(true);
    for (PictureBox* digit : imgScore) digit->setVisible(true);
    for (PictureBox* control :
         {pctExit, pctNew, pctHighScores, pctSound, pctHelp, pctAbout, pctUndo})
        control->setVisible(true);
    if (!game_.gameInProgress()) pctOrbelix->setVisible(true);
    pctColors[0]->setVisible(true);
    Pointer.set(MousePointer::Default);
}

void frmMain::ShowHighScoreWindow() {
    screens_.show(Screen::HighScores);
    {
        // The table on disk is the one to show: other copies may have saved meanwhile.
        store_.ReloadTable(table_);
        frmHighScore window(this, table_);
        // A reset empties the table as it is on disk now.
        connect(&window, &frmHighScore::AboutToReset, this, [this] { store_.ReloadTable(table_); });
        // A finished name goes to disk at once, as the placed score did.
        connect(&window, &frmHighScore::NameEntered, this, &frmMain::SaveSettings);
        connect(&window, &frmHighScore::ZoomKey, this, &frmMain::ZoomBy);
        window.exec();
    }
    // The table may hold a new name or have been reset: put it on disk now, so a
    // finished game's result survives whatever happens to the program later.
    SaveSettings();
}

void frmMain::pctHighScores_Click() {
    table_.setNewEntryRow(0);
    HideMainScreen();
    ShowHighScoreWindow();
    ShowMainScreen();
}

void frmMain::pctHelp_Click() {
    screens_.show(Screen::Help);
    HideMainScreen();
    // With the guide on, the fuller rules page stands in for the one-sentence picture.
    if (Guide->on()) {
        ShowRulesPage();
        return;
    }
    pctHelpText->setAutoSize(true);
    PlaceHelpScreen();
    pctHelpText->setVisible(true);
}

void frmMain::PlaceHelpScreen() {
    pctHelpText->move(CentredOn(OuterSize(), pctHelpText->size()));
    PlaceRulesPage();
}

void frmMain::pctHelpText_Click() {
    ShowMainScreen();
    pctHelpText->setVisible(false);
    if (pctRulesText != nullptr) pctRulesText->setVisible(false);
}

// The about screen shows each version number as one digit picture.
static_assert(ORBELIX_VERSION_MAJOR >= 0 && ORBELIX_VERSION_MAJOR <= 9 &&
                  ORBELIX_VERSION_MINOR >= 0 && ORBELIX_VERSION_MINOR <= 9,
              "the major and minor version numbers must be single digits");

void frmMain::pctAbout_Click() {
    screens_.show(Screen::About);
    HideMainScreen();
    pctAboutText->setAutoSize(true);
    PlaceAboutScreen();
    for (PictureBox* cellBox : pctVersion) cellBox->setVisible(true);
    pctAboutText->setVisible(true);
}

void frmMain::PlaceAboutScreen() {
    const QSize outer = OuterSize();
    pctAboutText->move(CentredOn(outer, pctAboutText->size()));

    // The version under the picture: major digit, dot, minor digit, edge to edge, the
    // row starting two cell widths left of the window's middle.
    const float middle = static_cast<float>(PixelsToTwips(outer.width())) / 2.0f;
    const int top = pctAboutText->y() + pctAboutText->height();
    pctVersion[0]->setPicture(imgDigit[ORBELIX_VERSION_MAJOR]->picture());
    const auto cell = static_cast<float>(PixelsToTwips(pctVersion[0]->width()));
    pctVersion[0]->move(TwipsToPixels(middle - 2.0f * cell), top);
    pctVersion[1]->setPicture(imgDigit[10]->picture());
    pctVersion[1]->move(TwipsToPixels(middle - cell), top);
    pctVersion[2]->setPicture(imgDigit[ORBELIX_VERSION_MINOR]->picture());
    pctVersion[2]->move(TwipsToPixels(middle), top);
}

void frmMain::pctAboutText_Click() {
    pctAboutText->setVisible(false);
    for (PictureBox* cellBox : pctVersion) cellBox->setVisible(false);
    ShowMainScreen();
}

void frmMain::pctColors_Click(int16_t index) {
    if (index != 0) return;
    game_.StepColorCount();
    pctColors[0]->setPicture(pctColors[game_.colorCount() - 5]->picture());
    pctColors[0]->repaint();
    DescribeOptions();
}

void frmMain::pctSound_Click() {
    pctSound->setPicture(SoundIsOn() ? pctSoundOff->picture() : pctSoundOn->picture());
    DescribeOptions();
    PrepareBleep();
}

void frmMain::pctExit_Click() {
    SaveSettings();
    close();
}

void frmMain::RequestClose() {
    // The system ending the program does not wait for the end-of-game pause.
    Pause::Interrupt();
    if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    if (inMove_) {
        // The move finishes first (its pause, its table placement), then the window closes.
        closePending_ = true;
        return;
    }
    close();
}

void frmMain::LoadSettings() {
    const Options options = store_.LoadSettings(table_);
    pctSound->setPicture(options.Sound ? pctSoundOn->picture() : pctSoundOff->picture());
    game_.setColorCount(options.ColorCount);
    StoredZoom = options.Zoom;
    ShowSymbols = options.Symbols;
    Guide->setOn(options.Guide);
    AlwaysResume = options.AlwaysResume;
}

Options frmMain::CurrentOptions() const {
    Options options;
    options.Sound = SoundIsOn();
    options.ColorCount = game_.colorCount();
    options.Zoom = StoredZoom;
    options.Symbols = ShowSymbols;
    options.Guide = Guide->on();
    options.AlwaysResume = AlwaysResume;
    return options;
}

void frmMain::SaveSettings() {
    if (store_.SaveSettings(CurrentOptions(), table_) == SaveResult::Waiting)
        saveRetry_->start();
    else
        saveRetry_->stop();
}

void frmMain::SaveOnTheWayOut(bool mayHide) {
    saveRetry_->stop();
    const Options options = CurrentOptions();
    SaveResult saved = store_.SaveSettings(options, table_);
    if (saved == SaveResult::Waiting) {
        if (mayHide) hide();
        saved = store_.SaveSettings(options, table_, LastWaitForTheLock);
    }
    if (saved != SaveResult::Saved) store_.KeepAside(options, table_);
}

void frmMain::SaveAtExit(bool live) {
    if (live)
        ExitSave::Register(this, [this] { SaveOnTheWayOut(false); });
    else
        ExitSave::Unregister(this);
}

void frmMain::closeEvent(QCloseEvent* event) {
    if (inMove_) {
        // Closed during the end-of-game pause: let the move finish, then close.
        closePending_ = true;
        event->ignore();
        return;
    }
    if (!closed_) {
        closed_ = true;
        KeepGameAtClose();
        SaveOnTheWayOut(true);
        SaveAtExit(false);
    }
    event->accept();
}

}  // namespace orbelix
