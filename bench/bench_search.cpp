// Plays the numbered boards 1..N at 6 and at 13 colours four ways and prints the mean
// balls left by each: following the hints (a fresh hint after every move), the largest
// group first, uniformly random play and the verdict's search; and the hint's time
// (median, 95th percentile, worst).
//
//     bench_search [--boards N] [--colours C] [--method nested|sampling] [--level L]
//                  [--hint MOVES] [--verdict MOVES] [--whole] [--fresh] [--json]
//
// The options change the searches' budgets and method, to compare them; without them
// the hint and verdict presets are measured.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "game/Search.h"
#include "game/SearchBoard.h"

using namespace orbelix;

namespace {

struct Options {
    int boards = 100;
    std::vector<int16_t> colours{6, 13};
    SearchBudget hint = SearchBudget::Hint();
    SearchBudget verdict = SearchBudget::Verdict();
    bool json = false;
    bool seeded = true;  // --fresh: each hint searches without the previous line
};

// Plays a game to its end, each move chosen by `choose` from the groups of the position.
template <typename Choose>
int PlayOut(SearchBoard board, Choose choose) {
    GroupScan scan;
    for (scan.Scan(board); scan.count() > 0; scan.Scan(board)) scan.Play(board, choose(scan));
    return board.ballsLeft();
}

int LargestFirst(const SearchBoard& board) {
    return PlayOut(board, [](const GroupScan& scan) {
        int best = 0;
        for (int g = 1; g < scan.count(); ++g)
            if (scan.group(g).size > scan.group(best).size) best = g;
        return best;
    });
}

int RandomPlay(const SearchBoard& board, uint32_t seed) {
    SearchRandom random(seed);
    return PlayOut(board, [&](const GroupScan& scan) { return random.below(scan.count()); });
}

// The calling thread's processor time in milliseconds: the hint's own cost, whatever
// else the machine is doing.
double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Follows the hints to the end; adds each hint's time in milliseconds to `times`.
// Each search starts from the rest of the previous hint's line, as the window does.
int FollowHints(SearchBoard board, const SearchBudget& budget, std::vector<double>& times,
                std::vector<double>& cpu, bool seeded) {
    std::vector<Cell> rest;
    for (;;) {
        const double cpuBegin = ThreadCpuMs();
        const auto begin = std::chrono::steady_clock::now();
        const SearchResult hint = Search(board.ToGrid(), static_cast<int16_t>(board.columnsInUse()),
                                         budget, nullptr, rest);
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - begin;
        times.push_back(took.count());
        cpu.push_back(ThreadCpuMs() - cpuBegin);
        if (hint.line.empty()) return board.ballsLeft();
        board.Play(SearchBoard::FromCell(hint.line.front()));
        if (seeded) rest.assign(hint.line.begin() + 1, hint.line.end());
    }
}

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const size_t at = static_cast<size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[at];
}

bool Parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--json") {
            options.json = true;
        } else if (arg == "--fresh") {
            options.seeded = false;
        } else if (arg == "--boards" && hasValue) {
            options.boards = std::stoi(argv[++i]);
        } else if (arg == "--colours" && hasValue) {
            options.colours = {static_cast<int16_t>(std::stoi(argv[++i]))};
        } else if (arg == "--method" && hasValue) {
            const std::string method = argv[++i];
            const auto chosen = method == "sampling" ? SearchBudget::Method::Sampling
                                                     : SearchBudget::Method::Nested;
            options.hint.method = options.verdict.method = chosen;
        } else if (arg == "--level" && hasValue) {
            options.hint.level = options.verdict.level = std::stoi(argv[++i]);
        } else if (arg == "--hint" && hasValue) {
            options.hint.moves = std::stoll(argv[++i]);
        } else if (arg == "--whole") {
            options.verdict.stepwise = false;
        } else if (arg == "--verdict" && hasValue) {
            options.verdict.moves = std::stoll(argv[++i]);
        } else {
            std::fprintf(stderr, "bench_search: unknown or incomplete option %s\n", argv[i]);
            return false;
        }
    }
    return options.boards >= 1;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!Parse(argc, argv, options)) return 2;
    if (options.json) std::printf("[");
    for (size_t k = 0; k < options.colours.size(); ++k) {
        const int16_t colours = options.colours[k];
        double hints = 0, largest = 0, random = 0, verdict = 0, verdictMs = 0, verdictCpu = 0;
        std::vector<double> times, cpu;
        for (int n = 1; n <= options.boards; ++n) {
            const BoardGrid grid = DealNumbered(static_cast<uint32_t>(n), colours);
            const SearchBoard board(grid, Columns);
            hints += FollowHints(board, options.hint, times, cpu, options.seeded);
            largest += LargestFirst(board);
            random += RandomPlay(board, static_cast<uint32_t>(n));
            const double cpuBegin = ThreadCpuMs();
            const auto begin = std::chrono::steady_clock::now();
            verdict += Search(grid, Columns, options.verdict, nullptr).ballsLeft;
            verdictMs +=
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin)
                    .count();
            verdictCpu += ThreadCpuMs() - cpuBegin;
        }
        const double b = options.boards;
        const double median = Percentile(times, 0.5), p95 = Percentile(times, 0.95);
        const double worst = *std::max_element(times.begin(), times.end());
        const double cpuMedian = Percentile(cpu, 0.5), cpuP95 = Percentile(cpu, 0.95);
        const double cpuWorst = *std::max_element(cpu.begin(), cpu.end());
        if (options.json) {
            std::printf(
                "%s{\"colours\": %d, \"boards\": %d, \"hints\": %.2f, \"largest\": %.2f, "
                "\"random\": %.2f, \"verdict\": %.2f, \"verdict_ms\": %.1f, "
                "\"verdict_cpu_ms\": %.1f, \"hint_median_ms\": %.3f, \"hint_p95_ms\": %.3f, "
                "\"hint_worst_ms\": %.3f, \"hint_cpu_median_ms\": %.3f, \"hint_cpu_p95_ms\": %.3f, "
                "\"hint_cpu_worst_ms\": %.3f}",
                k ? ", " : "", colours, options.boards, hints / b, largest / b, random / b,
                verdict / b, verdictMs / b, verdictCpu / b, median, p95, worst, cpuMedian, cpuP95,
                cpuWorst);
        } else {
            std::printf(
                "%2d colours, %d boards: balls left, mean: hints %.2f, largest first %.2f, "
                "random %.2f, verdict %.2f (%.0f ms each, %.0f ms processor); hint time: "
                "median %.2f ms, p95 %.2f ms, worst %.2f ms; processor: median %.2f ms, "
                "p95 %.2f ms, worst %.2f ms (%zu hints)\n",
                colours, options.boards, hints / b, largest / b, random / b, verdict / b,
                verdictMs / b, verdictCpu / b, median, p95, worst, cpuMedian, cpuP95, cpuWorst,
                times.size());
        }
        std::fflush(stdout);
    }
    if (options.json) std::printf("]\n");
    return 0;
}
