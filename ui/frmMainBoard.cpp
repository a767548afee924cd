// The board on the main window: new game, drawing, hit testing, undo, the score, and
// what a click on a ball does: the move, its sound and the end of the game.
#include <QCoreApplication>

#include "platform/Environment.h"
#include "platform/Pause.h"
#include "ui/Accessibility.h"
#include "ui/frmMain.h"

namespace orbelix {
namespace {

// Beside the program first, as the game ships; else where an installation put it.
std::pair<std::string, std::string> SoundPaths(const QString& fileName) {
    static const std::string programFolder =
        QCoreApplication::applicationDirPath().toStdString() + '/';
    static const std::string dataFolder = programFolder + ORBELIX_DATADIR + '/';
    const std::string name = fileName.toStdString();
    return {programFolder + name, dataFolder + name};
}

}  // namespace

void frmMain::DrawBoard() {
    pctBoard->Cls();
    DrawBallsOnBoard();
    pctBoard->Refresh();
}

BallSprites frmMain::sprites() const {
    BallSprites sprites;
    for (int i = 0; i <= MaxColors; ++i) sprites[i] = pctBall[i]->picture();
    return sprites;
}

void frmMain::DrawBallsOnBoard() {
    PictureBox::SpriteList list;
    list.reserve(2 * Rows * Columns * Layers);
    ForEachBallSprite(
        game_.board(), sprites(),
        [&list](const QPixmap& sprite, QPoint at) { list.emplace_back(at, sprite); },
        overlay_->symbols());
    pctBoard->drawSprites(list);
}

void frmMain::pctNew_Click() {
    game_.New();
    showNewBoard();
}

void frmMain::NewGameOn(const BoardGrid& board, int32_t score) {
    game_.New(board, score);
    showNewBoard();
}

void frmMain::showNewBoard() {
    pctOrbelix->setVisible(false);
    // After a game whose score took no table row, "Game Over!" still stands where the
    // board was: the new board must be seen and played.
    pctGameOver->setVisible(false);
    pctBoard->setVisible(true);
    // Every sprite position is drawn, so nothing of the last game shows through.
    DrawBallsOnBoard();
    ShowScore();
    pctBoard->Refresh();
    overlay_->tell(tr("New game, %1 colours").arg(game_.colorCount()));
}

void frmMain::pctBoard_MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, QPointF position) {
    if (!game_.gameInProgress()) return;
    Cell cell;
    // The ball drawn at the pixel pressed; in the gaps between balls, the game's bands.
    if (!overlay_->guide().aim(position, cell)) return;
    RemoveGroup(cell.row, cell.column, cell.layer);
}

void frmMain::pctUndo_Click() {
    if (!game_.Undo()) return;
    DrawBoard();
    ShowScore();
    overlay_->tell(tr("Undone, score %1").arg(game_.score()));
}

void frmMain::ShowScore() {
    const QString text = FormatScore(game_.score());
    for (qsizetype a = 1; a <= text.size(); ++a) {
        const qsizetype element = 6 - a;
        const int digit = text[a - 1].unicode() - '0';
        if (element < 0 || digit < 0 || digit > 9) continue;
        imgScore[element]->setPicture(imgDigit[digit]->picture());
    }
    Accessibility::SetValue(imgScore[0], game_.score());
}

void frmMain::RemoveGroup(int16_t& row, int16_t& column, int16_t& layer) {
    ReturnFreedMemorySoon();
    if (game_.board()(column, row, layer) == 0) return;
    inMove_ = true;
    pointer_.set(MousePointer::Hourglass);

    // The group goes, a bleep for each ball, the balls above drop and empty columns close up.
    const int n = game_.RemoveGroup({row, column, layer},
                                    [this] { PlayBleep(QStringLiteral("Bleep.wav"), 1); });
    DrawBoard();
    if (n >= 2) ShowScore();
    pointer_.set(MousePointer::Default);
    const bool movesLeft = AnyMovesLeft();
    // One utterance for the move, the end of the game included.
    QString news = n >= 2 ? tr("%1 balls removed, score %2").arg(n).arg(game_.score()) : QString();
    if (!movesLeft)
        news += (news.isEmpty() ? QString() : QStringLiteral(". ")) +
                tr("Game over: no two balls of one colour touch within a layer. %n balls left",
                   nullptr, game_.board().ballCount());
    if (!news.isEmpty()) overlay_->tell(news, movesLeft);
    if (!movesLeft) EndGame();

    inMove_ = false;
    if (closePending_) close();
}

bool frmMain::AnyMovesLeft() {
    pointer_.set(MousePointer::Hourglass);
    const bool found = game_.AnyMovesLeft();
    pointer_.set(MousePointer::Default);
    return found;
}

void frmMain::EndGame() {
    // The board may have the keyboard: hidden, it would hand it to a button.
    screens_.takeKeys();
    pointer_.set(MousePointer::Hourglass);
    pctBoard->setVisible(false);
    pctBoard->Refresh();
    pctGameOver->setVisible(true);
    pctGameOver->Refresh();
    // The score is placed and goes to disk as the game ends, before the pause: a display
    // or session that dies during the pause or while the name is typed loses nothing.
    table_.PlaceScore(game_.score());
    if (table_.newEntryRow() != 0) SaveSettings();
    // Clicks and keys of the pause are held back and handed out after the move.
    const std::unique_ptr<Pause::HeldInput> held = Pause::Wait(5);
    pointer_.set(MousePointer::Default);

    if (table_.newEntryRow() != 0) {
        // A close that has just come in is taken before the high-score window opens, which
        // would block it. The input held back is dropped: that window would block it too.
        held->TakeWaitingEvents();
        held->Drop();
    }
    // A close asked for during the pause skips name entry; the placed score is saved.
    if (table_.newEntryRow() != 0 && !closePending_) {
        HideMainScreen();
        showHighScoreWindow();
        ShowMainScreen();
    }
    game_.End();
}

bool frmMain::SoundIsOn() const {
    return pctSound->samePicture(pctSoundOn->picture());
}

void frmMain::PlayBleep(const QString& fileName, int16_t flags) {
    Q_UNUSED(flags);  // always an asynchronous start
    if (!SoundIsOn()) return;
    const auto [path, alternative] = SoundPaths(fileName);
    sound_.start(path, alternative);
}

void frmMain::prepareBleep() {
    if (!SoundIsOn()) return;
    const auto [path, alternative] = SoundPaths(QStringLiteral("Bleep.wav"));
    sound_.prepare(path, alternative);
}

}  // namespace orbelix
