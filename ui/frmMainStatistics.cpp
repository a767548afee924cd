// The statistics on the main window: every game recorded once, however it ends, and the
// page that shows what they add up to.
#include <unistd.h>

#include <QDateTime>
#include <algorithm>

#include "ui/Accessibility.h"
#include "ui/frmMain.h"

namespace orbelix {
namespace {

// How long a game recorded as the window closes waits for another copy that holds the lock.
constexpr std::chrono::seconds LastWaitForTheLock{2};

}  // namespace

uint32_t frmMain::boardInPlay() const {
    // The number of the board dealt; 0 for a prepared board, which has none.
    return game_.boardNumber();
}

void frmMain::startGameRecord() {
    // Unique to the game: its board, the moment it was dealt and this process.
    playing_ = {QStringLiteral("%1-%2-%3")
                    .arg(boardInPlay())
                    .arg(QDateTime::currentMSecsSinceEpoch())
                    .arg(::getpid()),
                game_.colorCount(),
                0,
                false,
                0,
                -1};
    playingCounts_ = false;
}

void frmMain::recordGame(bool finished, std::chrono::milliseconds patience) {
    // A board dealt but never played is no game.
    if (!playingCounts_) return;
    playing_.score = game_.score();
    playing_.finished = finished;
    statistics_.Record(playing_, patience);
}

void frmMain::recordGameAtClose() {
    if (game_.gameInProgress()) recordGame(false, LastWaitForTheLock);
    statistics_.Flush(LastWaitForTheLock);
}

void frmMain::CountHint() {
    ++playing_.hints;
}

void frmMain::RecordVerdict(const GameRecord& game, int16_t ballsLeft) {
    GameRecord judged = game;
    judged.verdict = ballsLeft;
    statistics_.Record(judged);
}

void frmMain::showStatisticsPage() {
    if (screens_.current() == Screen::Help) {
        pctHelpText->setVisible(false);
        if (pctRulesText != nullptr) pctRulesText->setVisible(false);
        if (pctStatistics != nullptr) pctStatistics->setVisible(false);
    } else {
        HideMainScreen();
    }
    screens_.show(Screen::Statistics);
    if (statisticsPage_ == nullptr) {
        // Made on first need: a player who never opens it has the window as it always was.
        statisticsPage_ = std::make_unique<StatisticsPage>(this);
        connect(statisticsPage_->control(), &PictureBox::Click, this, &frmMain::hideStatisticsPage);
    }
    placeStatisticsPage();
    statisticsPage_->Show(statistics_.Load(), game_.dealt() ? boardInPlay() : 0);
}

void frmMain::placeStatisticsPage() {
    if (statisticsPage_ == nullptr) return;
    // Centred like the rules page, never past the client area.
    PictureBox* page = statisticsPage_->control();
    QPoint at = CentredOn(placement_.outerSize(), page->size());
    at.setX(std::min(at.x(), ClientWidth - page->width()));
    at.setY(std::min(at.y(), ClientHeight - page->height()));
    page->move(at);
}

void frmMain::hideStatisticsPage() {
    ShowMainScreen();
    statisticsPage_->control()->setVisible(false);
}

void frmMain::showStatisticsButton() {
    if (pctStatistics == nullptr) {
        pctStatistics =
            new PictureBox(this, QStringLiteral("pctStatistics"), {0, 0, 104, 26}, false, true);
        pctStatistics->setStorePicture(QStringLiteral("pctStatistics"));
        pctStatistics->setPressable(true);
        Accessibility::SetKind(pctStatistics, Accessibility::Kind::Button);
        pctStatistics->setAccessibleName(tr("Statistics"));
        pctStatistics->setAccessibleDescription(tr("Shows what your games add up to (T)"));
        connect(pctStatistics, &PictureBox::Click, this, &frmMain::showStatisticsPage);
    }
    // In the top right corner of the rules page, beside its title.
    pctStatistics->move(pctRulesText->pos() + QPoint(500, 12));
    pctStatistics->raise();
    pctStatistics->setVisible(true);
}

}  // namespace orbelix
