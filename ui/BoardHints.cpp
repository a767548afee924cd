#include "ui/BoardHints.h"

#include <QCoreApplication>
#include <utility>

#include "game/Moves.h"

namespace orbelix {
namespace {

QString Tr(const char* text) {
    return QCoreApplication::translate("frmMain", text);
}

// The board after the move that removes the group of `cell`.
BoardGrid AfterMove(const BoardGrid& board, Cell cell) {
    BoardGrid after = board;
    GroupList group;
    const int n = CollectGroup(after, group, cell);
    RemoveAndSettle(after, group, n, [] {});
    CloseUpColumns(after, Columns);
    return after;
}

}  // namespace

BoardHints::BoardHints(const Game& game, BoardOverlay& overlay, std::function<bool()> takesMoves,
                       std::function<bool()> finished, std::function<void()> counted)
    : game_(game),
      overlay_(overlay),
      takesMoves_(std::move(takesMoves)),
      finished_(std::move(finished)),
      counted_(std::move(counted)) {}

BoardHints::~BoardHints() = default;

void BoardHints::ask() {
    if (finished_()) {
        overlay_.tell(Tr("No move left"), false);
        return;
    }
    if (!takesMoves_()) return;
    const BoardGrid& board = game_.board();
    // The hint that still shows for this board is shown and said again, not searched.
    if (overlay_.guide().hint() && asked_ == board && hintRequest_ == 0) {
        overlay_.showHint(*overlay_.guide().hint());
        return;
    }
    asked_ = board;
    const std::vector<Cell> known = board == afterHint_ ? rest_ : std::vector<Cell>{};
    // The runner's thread hands the result over; the window's thread takes it when it
    // next runs its events, unless this object has gone by then.
    hintRequest_ = hints_.Start(
        board, game_.columnsInUse(), SearchBudget::Hint(),
        [this](uint64_t request, const SearchResult& result) {
            QMetaObject::invokeMethod(
                this, [this, request, result] { hintFound(request, result); },
                Qt::QueuedConnection);
        },
        known);
}

void BoardHints::hintFound(uint64_t request, const SearchResult& result) {
    // Only the newest request counts, and only for the board it was asked for.
    if (request != hintRequest_) return;
    hintRequest_ = 0;
    if (takesMoves_() && asked_ == game_.board()) {
        if (result.line.empty()) {
            overlay_.tell(Tr("No move left"), false);
        } else {
            counted_();
            afterHint_ = AfterMove(asked_, result.line.front());
            rest_.assign(result.line.begin() + 1, result.line.end());
            overlay_.showHint(result.line.front());
        }
    }
    emit hintHandled();
}

void BoardHints::newGame() {
    hints_.Cancel();
    verdicts_.Cancel();
    hintRequest_ = 0;
    verdictRequest_ = 0;
    keep_ = nullptr;
    verdict_.reset();
    endHandled_ = false;
    rest_.clear();
}

void BoardHints::gameEnded() {
    hints_.Cancel();
    hintRequest_ = 0;
    ballsLeft_ = game_.board().ballCount();
    endHandled_ = false;
    keep_ = nullptr;
    verdictRequest_ =
        verdicts_.Start(game_.dealtBoard(), Columns, SearchBudget::Verdict(),
                        [this](uint64_t request, const SearchResult& result) {
                            QMetaObject::invokeMethod(
                                this, [this, request, result] { verdictFound(request, result); },
                                Qt::QueuedConnection);
                        });
}

void BoardHints::verdictFound(uint64_t request, const SearchResult& result) {
    if (request != verdictRequest_) return;
    verdictRequest_ = 0;
    verdict_ = result.ballsLeft;
    if (endHandled_) sayVerdict();
}

void BoardHints::endHandled(std::function<void(int)> keep) {
    endHandled_ = true;
    keep_ = std::move(keep);
    // After the words of the move that ended the game have been taken.
    if (verdict_) QMetaObject::invokeMethod(this, &BoardHints::sayVerdict, Qt::QueuedConnection);
}

void BoardHints::sayVerdict() {
    if (!verdict_ || !endHandled_) return;
    if (keep_) std::exchange(keep_, nullptr)(*verdict_);
    overlay_.setVerdict(
        Tr("You left %1 balls. The search left %2.").arg(ballsLeft_).arg(*verdict_));
}

}  // namespace orbelix
