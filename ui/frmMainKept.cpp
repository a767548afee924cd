// The game you come back to: numbered boards, the game in progress kept after every move
// and resumed at start, the always-resume switch, and the board's number to the clipboard.
#include <QClipboard>
#include <QGuiApplication>
#include <cstdio>

#include "scores/KeptGameFile.h"
#include "ui/frmMain.h"

namespace orbelix {

void frmMain::NewNumberedGame(uint32_t number) {
    game_.NewNumbered(number);
    ShowNewBoard();
}

void frmMain::ResumeGame(const KeptGame& kept) {
    game_.Resume(kept.game);
    pctOrbelix->setVisible(false);
    pctGameOver->setVisible(false);
    pctBoard->setVisible(true);
    DrawBoard();
    ShowScore();
    Cursor.at = kept.cursor.at;
    const QString news = tr("Game resumed, %1, score %2").arg(BoardName()).arg(game_.score());
    if (kept.cursor.visible)
        CursorChanged(news);
    else
        Tell(news);
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

QString frmMain::BoardName() const {
    if (game_.boardNumber() == 0) return tr("a board of %1 colours").arg(game_.dealtColors());
    return tr("board %1, %2 colours").arg(game_.boardNumber()).arg(game_.dealtColors());
}

void frmMain::KeepGame() {
    if (!keeper_) keeper_ = std::make_unique<KeptGameFile::Writer>();
    // A finished game leaves nothing to resume.
    if (game_.gameInProgress() && game_.AnyMovesLeft())
        keeper_->keep({game_.state(), Cursor});
    else
        keeper_->forget();
}

void frmMain::KeepGameAtClose() {
    if (!keeper_) return;
    if (game_.gameInProgress()) KeepGame();
    keeper_->flush();
}

void frmMain::CopyBoard() {
    if (!game_.dealt() || game_.boardNumber() == 0) return;
    const QString text =
        tr("Orbelix board %1, %2 colours").arg(game_.boardNumber()).arg(game_.dealtColors());
    QGuiApplication::clipboard()->setText(text);
    Tell(tr("Copied: %1").arg(text), false);
}

void frmMain::ToggleAlwaysResume() {
    AlwaysResume = !AlwaysResume;
    Tell(AlwaysResume ? tr("The next start goes on with the last game")
                      : tr("The next start shows the title"),
         false);
}

}  // namespace orbelix
