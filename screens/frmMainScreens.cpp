// The main screen and the screens shown in its place, the options and leaving.
#include <QApplication>
#include <QCloseEvent>
#include <cstdlib>

#include "app/frmMain.h"
#include "scores/frmHighScore.h"
#include "scores/mdlMain.h"

namespace orbelix {

void frmMain::HideMainScreen() {
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
    Pointer.set(MousePointer::Hourglass);
    pctBoard->setVisible(true);
    for (PictureBox* digit : imgScore) digit->setVisible(true);
    for (PictureBox* control : {pctExit, pctNew, pctHighScores, pctSound, pctHelp, pctAbout, pctUndo})
        control->setVisible(true);
    if (!GameInProgress) pctOrbelix->setVisible(true);
    pctColors[0]->setVisible(true);
    Pointer.set(MousePointer::Default);
}

void frmMain::ShowHighScoreWindow() {
    {
        frmHighScore window(*this);
        window.exec();
    }
    // The table may hold a new name or have been reset: put it on disk now, so a
    // finished game's result survives whatever happens to the program later.
    SaveSettings();
}

void frmMain::pctHighScores_Click() {
    mdlMain::NewEntryRow = 0;
    HideMainScreen();
    ShowHighScoreWindow();
    ShowMainScreen();
}

void frmMain::pctHelp_Click() {
    HideMainScreen();
    pctHelpText->setAutoSize(true);
    PlaceHelpScreen();
    pctHelpText->setVisible(true);
}

void frmMain::PlaceHelpScreen() { pctHelpText->move(CentredOn(OuterSize(), pctHelpText->size())); }

void frmMain::pctHelpText_Click() {
    ShowMainScreen();
    pctHelpText->setVisible(false);
}

// The about screen shows each version number as one digit picture.
static_assert(ORBELIX_VERSION_MAJOR >= 0 && ORBELIX_VERSION_MAJOR <= 9 && ORBELIX_VERSION_MINOR >= 0 &&
                  ORBELIX_VERSION_MINOR <= 9,
              "the major and minor version numbers must be single digits");

void frmMain::pctAbout_Click() {
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
    ++ColorCount;
    if (ColorCount > MaxColors) ColorCount = MinColors;
    pctColors[0]->setPicture(pctColors[ColorCount - 5]->picture());
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
    if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    if (inMove_) {
        // The move finishes first (its pause, its table placement), then the window closes.
        closePending_ = true;
        return;
    }
    close();
}

namespace {
frmMain* windowToSaveAtExit = nullptr;
}  // namespace

void frmMain::SaveAtExit(bool live) {
    static const bool registered = [] {
        std::atexit([] {
            if (windowToSaveAtExit != nullptr) windowToSaveAtExit->SaveSettings();
        });
        return true;
    }();
    Q_UNUSED(registered);
    if (live)
        windowToSaveAtExit = this;
    else if (windowToSaveAtExit == this)
        windowToSaveAtExit = nullptr;
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
        SaveSettings();
        SaveAtExit(false);
    }
    event->accept();
}

}  // namespace orbelix
