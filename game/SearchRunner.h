#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "game/Search.h"

namespace orbelix {

// Runs one search at a time on its own thread, so that the caller's thread never waits
// for one. A new request cancels the search that is running and takes the place of one
// still waiting; only the newest request's result is handed on.
class SearchRunner {
  public:
    // Runs on the runner's thread, once for each search that ran to its budget, with
    // the number Start returned. A search cancelled or replaced before it ended is not
    // handed on; a result already being handed on when a new request came still is, so
    // the receiver compares the number with its newest request's.
    using Callback = std::function<void(uint64_t request, const SearchResult& result)>;

    SearchRunner();
    // Cancels what is running and waits for the thread to finish (a playout at most).
    ~SearchRunner();
    SearchRunner(const SearchRunner&) = delete;
    SearchRunner& operator=(const SearchRunner&) = delete;

    // Asks for a search of `board` (with `known` as its starting line, see Search) and
    // returns the request's number, counting from 1.
    uint64_t Start(const BoardGrid& board, int16_t columnsInUse, const SearchBudget& budget,
                   Callback done, std::vector<Cell> known = {});
    // Cancels the running search and drops a waiting one; nothing is handed on for them.
    void Cancel();

  private:
    struct Request {
        uint64_t number = 0;
        BoardGrid board;
        int16_t columnsInUse = 0;
        SearchBudget budget;
        Callback done;
        std::vector<Cell> known;
    };
    void Run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<Request> waiting_;
    std::atomic<bool> cancel_{false};
    uint64_t lastNumber_ = 0;
    bool stopping_ = false;
    std::thread thread_;  // from the first request on
};

}  // namespace orbelix
