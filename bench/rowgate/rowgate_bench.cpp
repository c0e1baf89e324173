// Times one query of many rows with a row callback, through rowgate_exec and
// through the engine's exec directly, in alternating rounds, and prints the
// best CPU time of each and their ratio (goal: at most 1.05).

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "rowgate.h"

namespace {

struct Tally {
    long long rows = 0;
    long long bytes = 0;
};

// The same work per row on both sides: count it and look at its texts.
inline int tallyRow(void* arg, int columns, char** values) {
    auto* t = static_cast<Tally*>(arg);
    ++t->rows;
    for (int i = 0; i < columns; ++i) t->bytes += values[i] != nullptr ? values[i][0] : 0;
    return 0;
}

int ROWGATE_CALL viaBridge(void* arg, int columns, char** values, char**) {
    return tallyRow(arg, columns, values);
}

int direct(void* arg, int columns, char** values, char**) { return tallyRow(arg, columns, values); }

// CPU time of this thread: on a shared machine, time spent waiting for the
// processor would otherwise land on whichever side happened to be running.
double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

template <typename Run>
double seconds(Run run) {
    const double start = cpuSeconds();
    run();
    return cpuSeconds() - start;
}

}  // namespace

int main(int argc, char** argv) {
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 10;
    const std::string sql = "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < " +
                            std::to_string(rows) + ") SELECT x, 'row' FROM c";

    sqlite3* db = nullptr;
    if (rowgate_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "rowgate_bench: cannot open an in-memory database\n");
        return 1;
    }

    double bestBridge = 1e300, bestDirect = 1e300;
    Tally bridgeTally, directTally;
    bool ok = true;
    for (int r = 0; r < rounds && ok; ++r) {
        Tally b, d;
        auto bridge = [&] { ok &= rowgate_exec(db, sql.c_str(), &viaBridge, &b, nullptr) == SQLITE_OK; };
        auto engine = [&] { ok &= sqlite3_exec(db, sql.c_str(), &direct, &d, nullptr) == SQLITE_OK; };
        // Alternate which goes first, so that neither always runs on a warmer machine.
        double tb, td;
        if (r % 2 == 0) {
            tb = seconds(bridge);
            td = seconds(engine);
        } else {
            td = seconds(engine);
            tb = seconds(bridge);
        }
        if (tb < bestBridge) bestBridge = tb;
        if (td < bestDirect) bestDirect = td;
        bridgeTally = b;
        directTally = d;
    }
    rowgate_close(db);
    if (!ok || bridgeTally.rows != rows || bridgeTally.rows != directTally.rows ||
        bridgeTally.bytes != directTally.bytes) {
        std::fprintf(stderr, "rowgate_bench: the two runs disagree (%lld and %lld rows)\n",
                     bridgeTally.rows, directTally.rows);
        return 1;
    }

    std::printf("rows per query:   %ld (%d rounds, best CPU time of each)\n", rows, rounds);
    std::printf("rowgate_exec:     %.3f s\n", bestBridge);
    std::printf("sqlite3_exec:     %.3f s\n", bestDirect);
    std::printf("ratio:            %.3f (goal <= 1.05)\n", bestBridge / bestDirect);
    return 0;
}
