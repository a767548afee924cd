#include "game/SearchRunner.h"

namespace orbelix {

SearchRunner::SearchRunner() = default;

SearchRunner::~SearchRunner() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        waiting_.reset();
        cancel_.store(true);
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
}

uint64_t SearchRunner::Start(const BoardGrid& board, int16_t columnsInUse,
                             const SearchBudget& budget, Callback done, std::vector<Cell> known) {
    uint64_t number;
    {
        const std::lock_guard lock(mutex_);
        number = ++lastNumber_;
        waiting_ = Request{number, board, columnsInUse, budget, std::move(done), std::move(known)};
        cancel_.store(true);
        // The thread starts with the first request: a game nobody asks a hint of, and
        // the start-up of every game, go without it.
        if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
    }
    wake_.notify_one();
    return number;
}

void SearchRunner::Cancel() {
    const std::lock_guard lock(mutex_);
    waiting_.reset();
    cancel_.store(true);
}

void SearchRunner::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || waiting_.has_value(); });
        if (stopping_) return;
        const Request request = std::move(*waiting_);
        waiting_.reset();
        // Cleared under the lock: a Start or Cancel after this point cancels this search.
        cancel_.store(false);
        lock.unlock();
        const SearchResult result =
            Search(request.board, request.columnsInUse, request.budget, &cancel_, request.known);
        lock.lock();
        if (result.cancelled || cancel_.load()) continue;
        lock.unlock();
        request.done(request.number, result);
        lock.lock();
    }
}

}  // namespace orbelix
