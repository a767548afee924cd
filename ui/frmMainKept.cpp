// The game you come back to: numbered boards, the game in progress kept after every move
// and resumed at start, the always-resume switch, and the board's number to the clipboard.
#include <QClipboard>
#include <QGuiApplication>
#include <cstdio>

#include "ui/frmMain.h"

namespace orbelix {

void frmMain::NewNumberedGame(uint32_t number) {
    game_.NewNumbered(number);
    showNewBoard();
}

void frmMain::ResumeGame(const KeptGame& kept) {
    game_.Resume(kept.game);
    // The same game in the statistics as before the window closed, so that it counts
    // once; a file without its record makes it a game of its own from here.
    startGameRecord();
    if (!kept.recordId.isEmpty()) playing_.id = QString::fromLatin1(kept.recordId);
    playing_.hints = kept.hints;
    playingCounts_ = game_.score() > 0;
    pctOrbelix->setVisible(false);
    pctGameOver->setVisible(false);
    pctBoard->setVisible(true);
    DrawBoard();
    ShowScore();
    overlay_->placeCursor(kept.cursor.at);
    const QString news = tr("Game resumed, %1, score %2").arg(boardName()).arg(game_.score());
    // A game played by keys goes on with its cursor where it stood.
    if (kept.cursor.visible)
        overlay_->showCursor(news);
    else
        overlay_->tell(news);
}

bool frmMain::ResumeKeptGame(bool sayWhenNone) {
    const KeptGameFile::Loaded loaded = KeptGameFile::Load();
    if (!loaded.problem.isEmpty()) std::fprintf(stderr, "%s\n", qPrintable(loaded.problem));
    if (loaded.game) {
        ResumeGame(*loaded.game);
        return true;
    }
    if (sayWhenNone)
        std::fputs("orbelix: there is no kept game to resume; starting as usual\n", stderr);
    return false;
}

QString frmMain::boardName() const {
    if (game_.boardNumber() == 0) return tr("a board of %1 colours").arg(game_.dealtColors());
    return tr("board %1, %2 colours").arg(game_.boardNumber()).arg(game_.dealtColors());
}

void frmMain::keepGame() {
    if (!keeper_) keeper_ = std::make_unique<KeptGameFile::Writer>();
    // A finished game leaves nothing to resume.
    if (game_.gameInProgress() && game_.AnyMovesLeft())
        keeper_->keep({game_.state(), overlay_->cursor(), playing_.id.toLatin1(), playing_.hints});
    else
        keeper_->forget();
}

void frmMain::keepGameAtClose() {
    if (!keeper_) return;
    if (game_.gameInProgress()) keepGame();
    keeper_->flush();
}

void frmMain::copyBoard() {
    if (!game_.dealt() || game_.boardNumber() == 0) return;
    const QString text =
        tr("Orbelix board %1, %2 colours").arg(game_.boardNumber()).arg(game_.dealtColors());
    QGuiApplication::clipboard()->setText(text);
    overlay_->tell(tr("Copied: %1").arg(text), false);
}

void frmMain::toggleAlwaysResume() {
    alwaysResume_ = !alwaysResume_;
    overlay_->tell(alwaysResume_ ? tr("Always resume on: the next start goes on with this game")
                                 : tr("Always resume off: the next start shows the title"),
                   false);
}

}  // namespace orbelix
