// The main screen and the screens shown in its place, the options, the settings and
// leaving.
#include <algorithm>

#include "ui/Accessibility.h"
#include "ui/frmHighScore.h"
#include "ui/frmMain.h"

namespace orbelix {

void frmMain::HideMainScreen() {
    // Hiding the control that has the keyboard would hand it to the next one.
    screens_.takeKeys();
    overlay_->hideCursor();
    pointer_.set(MousePointer::Hourglass);
    pctBoard->setVisible(false);
    for (PictureBox* digit : imgScore) digit->setVisible(false);
    for (PictureBox* control : {pctExit, pctNew, pctHighScores, pctSound, pctOrbelix})
        control->setVisible(false);
    pointer_.set(MousePointer::Default);
    for (PictureBox* control : {pctGameOver, pctHelp, pctAbout}) control->setVisible(false);
    pctColors[0]->setVisible(false);
    pctUndo->setVisible(false);
}

void frmMain::ShowMainScreen() {
    // First, so that the screen that closes after this hands the keyboard to no button.
    screens_.show(Screen::Main);
    pointer_.set(MousePointer::Hourglass);
    pctBoard->setVisible(true);
    for (PictureBox* digit : imgScore) digit->setVisible(true);
    for (PictureBox* control :
         {pctExit, pctNew, pctHighScores, pctSound, pctHelp, pctAbout, pctUndo})
        control->setVisible(true);
    if (!game_.gameInProgress()) pctOrbelix->setVisible(true);
    pctColors[0]->setVisible(true);
    pointer_.set(MousePointer::Default);
}

void frmMain::showHighScoreWindow() {
    screens_.show(Screen::HighScores);
    {
        // The table on disk is the one to show: other copies may have saved meanwhile.
        settings_.reloadTable();
        frmHighScore window(this, table_);
        // A reset empties the table as it is on disk now.
        connect(&window, &frmHighScore::AboutToReset, this, [this] { settings_.reloadTable(); });
        // A finished name goes to disk at once, as the placed score did.
        connect(&window, &frmHighScore::NameEntered, this, &frmMain::SaveSettings);
        connect(&window, &frmHighScore::ZoomKey, this,
                [this](int step) { placement_.zoomBy(step); });
        // Not while the table is up: a save can move rows, and the window shows the rows
        // as they were when it opened. Its closing saves anyway.
        settings_.holdRetries(true);
        window.exec();
        settings_.holdRetries(false);
    }
    // The table may hold a new name or have been reset: put it on disk now, so a
    // finished game's result survives whatever happens to the program later.
    SaveSettings();
}

void frmMain::pctHighScores_Click() {
    table_.setNewEntryRow(0);
    HideMainScreen();
    showHighScoreWindow();
    ShowMainScreen();
}

void frmMain::pctHelp_Click() {
    screens_.show(Screen::Help);
    HideMainScreen();
    // With the guide on, the fuller rules page stands in for the one-sentence picture.
    if (overlay_->guide().on()) {
        showRulesPage();
    } else {
        pctHelpText->setAutoSize(true);
        placeHelpScreen();
        pctHelpText->setVisible(true);
    }
    const PictureBox* page = overlay_->guide().on() ? pctRulesText : pctHelpText;
    overlay_->tell(page->accessibleDescription() + QLatin1Char(' ') + mainScreenKeys(), false);
}

void frmMain::placeHelpScreen() {
    pctHelpText->move(CentredOn(placement_.outerSize(), pctHelpText->size()));
    if (pctRulesText == nullptr) return;
    // Centred by the outer size like the help picture, but never past the client area: the
    // page is nearly as large as the window, and a tall title bar would cut its foot off.
    QPoint at = CentredOn(placement_.outerSize(), pctRulesText->size());
    at.setX(std::min(at.x(), ClientWidth - pctRulesText->width()));
    at.setY(std::min(at.y(), ClientHeight - pctRulesText->height()));
    pctRulesText->move(at);
    if (pctStatistics != nullptr) pctStatistics->move(at + QPoint(500, 12));
}

void frmMain::pctHelpText_Click() {
    ShowMainScreen();
    pctHelpText->setVisible(false);
    if (pctRulesText != nullptr) pctRulesText->setVisible(false);
    if (pctStatistics != nullptr) pctStatistics->setVisible(false);
}

// The about screen shows each version number as one digit picture.
static_assert(ORBELIX_VERSION_MAJOR >= 0 && ORBELIX_VERSION_MAJOR <= 9 &&
                  ORBELIX_VERSION_MINOR >= 0 && ORBELIX_VERSION_MINOR <= 9,
              "the major and minor version numbers must be single digits");

void frmMain::pctAbout_Click() {
    screens_.show(Screen::About);
    HideMainScreen();
    pctAboutText->setAutoSize(true);
    placeAboutScreen();
    for (PictureBox* cellBox : pctVersion) cellBox->setVisible(true);
    pctAboutText->setVisible(true);
    overlay_->tell(pctAboutText->accessibleDescription() + QLatin1Char(' ') + mainScreenKeys(),
                   false);
}

void frmMain::placeAboutScreen() {
    const QSize outer = placement_.outerSize();
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
    describeOptions();
    overlay_->tell(tr("%1 colours for the next game").arg(game_.colorCount()), false);
}

void frmMain::pctSound_Click() {
    pctSound->setPicture(SoundIsOn() ? pctSoundOff->picture() : pctSoundOn->picture());
    describeOptions();
    prepareBleep();
    overlay_->tell(SoundIsOn() ? tr("Sound on") : tr("Sound off"), false);
}

void frmMain::pctExit_Click() {
    SaveSettings();
    close();
}

void frmMain::LoadSettings() {
    const Options options = settings_.load();
    pctSound->setPicture(options.Sound ? pctSoundOn->picture() : pctSoundOff->picture());
    game_.setColorCount(options.ColorCount);
    placement_.setStoredZoom(options.Zoom);
    overlay_->setSymbols(options.Symbols);
    overlay_->guide().setOn(options.Guide);
    alwaysResume_ = options.AlwaysResume;
}

Options frmMain::currentOptions() const {
    Options options;
    options.Sound = SoundIsOn();
    options.ColorCount = game_.colorCount();
    options.Zoom = placement_.storedZoom();
    options.Symbols = overlay_->symbolsOn();
    options.Guide = overlay_->guide().on();
    options.AlwaysResume = alwaysResume_;
    return options;
}

// Saves at once when the lock is free; when another copy holds it, the game goes on and
// the save is made again in the background until it goes through.
void frmMain::SaveSettings() {
    settings_.save();
}

void frmMain::showRulesPage() {
    if (pctRulesText == nullptr) {
        // Made on first need, so that a player who never turns the guide on has the
        // window's controls exactly as they always were.
        pctRulesText =
            new PictureBox(this, QStringLiteral("pctRulesText"), {0, 0, 620, 340}, false, true);
        pctRulesText->setStorePicture(QStringLiteral("pctRulesText"));
        pctRulesText->setPressable(true);
        Accessibility::SetKind(pctRulesText, Accessibility::Kind::Button);
        pctRulesText->setAccessibleName(tr("How to play"));
        pctRulesText->setAccessibleDescription(
            tr("Click a ball to remove its group: every ball of its colour joined to it along "
               "the rows, the columns and through the layers. A group needs at least two "
               "balls; each ball removed is worth 2 points. The balls above drop into the "
               "gaps, each in its own column and layer, and a column left empty in all three "
               "layers closes up from the right. Undo takes back the last move, one step only. "
               "The game ends when no two balls of one colour touch within a layer: a pair "
               "that touches only front to back does not keep it going. Click to go back."));
        connect(pctRulesText, &PictureBox::Click, this, &frmMain::pctHelpText_Click);
    }
    placeHelpScreen();
    pctRulesText->setVisible(true);
    showStatisticsButton();
}

}  // namespace orbelix
