// Times the three views on stored card files, model only (the plain window):
//
//   - the history view of one transit file of ROWS transactions (default
//     100,000) whose rides run between DISTINCT stations (default 500, a
//     commuter's share; 10,000 is the worst case) of a Station.DB of 10,000,
//     once with the name caches empty (the first view after start-up: one
//     database access per distinct station) and then with them filled (every
//     later view);
//   - the monthly totals view of the same file;
//   - the balance overview of FILES card files (default 1,000), 20
//     transactions each;
//   - the engine alone reading the history view's rows (the same query
//     through rowgate_exec with a callback that does nothing), the yardstick
//     for the history view.
//
// Each step runs kRounds times; the minimum and the median are printed.
//
// usage: views_db_bench [ROWS [FILES [DISTINCT]]]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "cards/card_data.h"
#include "database/bridge.h"
#include "database/db_access.h"
#include "platform/os/files.h"
#include "platform/os/paths.h"
#include "store/card_store.h"
#include "store/db_files.h"
#include "views/card_views.h"
#include "views/plain_view_host.h"

namespace {

using namespace tovani;
using Clock = std::chrono::steady_clock;
constexpr int kRounds = 5;
constexpr int kStations = 10000;
constexpr int kRowsPerCard = 20;

bool run(DbFile& db, const std::string& sql) {
    if (db.exec(sql)) return true;
    std::fprintf(stderr, "%s: %s\n", sql.c_str(), db.errmsg().c_str());
    return false;
}

bool makeStationDb(const std::string& folder) {
    DbFile db;
    if (!db.open(folder + "/Station.DB", bridge::OpenReadWriteCreate)) return false;
    if (!run(db, "CREATE TABLE Station ( Code INTEGER PRIMARY KEY, Kaisha TEXT, Senku TEXT, Eki TEXT );") ||
        !run(db, "CREATE TABLE BusStop ( Code INTEGER PRIMARY KEY, Kaisha TEXT, Rosen TEXT, Teiryuujo TEXT );") ||
        !run(db, "BEGIN;"))
        return false;
    for (int i = 1; i <= kStations; ++i) {
        const std::string n = std::to_string(i);
        if (!run(db, "INSERT INTO Station VALUES ( " + n + ", '鉄道会社" + n + "', '路線" + n + "', '駅" + n + "' );"))
            return false;
    }
    return run(db, "COMMIT;");
}

// A commuter's transit history over about 27 years of days: rides between
// `distinct` stations spread over the whole Station.DB, every 13th a charge.
bool makeTransitFile(const std::string& path, int rows, int distinct) {
    DbFile db;
    if (!db.open(path, bridge::OpenReadWriteCreate)) return false;
    if (!run(db, createCardInfoSql()) || !run(db, createRirekiSql(CardKindSF)) ||
        !run(db, "INSERT INTO CardInfo VALUES ( 100, '0102-0304-0506-0708', 0 );") || !run(db, "BEGIN;"))
        return false;
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    int32_t balance = 5000;
    for (int i = 1; i <= rows; ++i) {
        const int day = i / 10;
        const int32_t ymd = (2000 + day / 336) * 10000 + (1 + day / 28 % 12) * 100 + 1 + day % 28;
        RirekiInfo e;
        e.TorihikiTsuuban = i;
        e.RiyouYmd = ymd;
        if (i % 13 == 0) {
            e.RiyouKubun = 0x02;
            e.Charge = 3000;
            balance += 3000;
        } else {
            e.RiyouKubun = 0x16;
            e.Kingaku = 130 + 10 * static_cast<int32_t>(next() % 40);
            balance -= e.Kingaku;
            const int32_t spread = kStations / distinct;
            e.NyuujouCD = 1 + static_cast<int32_t>(next() % static_cast<uint32_t>(distinct)) * spread;
            e.SyutujouCD = 1 + static_cast<int32_t>(next() % static_cast<uint32_t>(distinct)) * spread;
        }
        if (balance < 0) balance += 20000;
        e.Zangaku = balance;
        std::string sql = "INSERT INTO Rireki VALUES ( ";
        for (int k = 0; k < RirekiFieldCount; ++k) sql += (k ? ", " : "") + std::to_string(rirekiField(e, k));
        if (!run(db, sql + " );")) return false;
    }
    return run(db, "COMMIT;");
}

bool makeCardFiles(const std::string& programDir, int files) {
    for (int f = 0; f < files; ++f) {
        CardReadResults card;
        card.CardKind = f % 3 == 0 ? CardKindSF : CardKindEdy;
        char id[32];
        std::snprintf(id, sizeof id, "0000-0000-%04X-%04X", f / 0x10000, f % 0x10000);
        card.CardID = id;
        DbFile db;
        if (!db.open(cardDbPath(programDir, card.CardKind, card.CardID), bridge::OpenReadWriteCreate)) return false;
        if (!run(db, createCardInfoSql()) || !run(db, createRirekiSql(card.CardKind)) ||
            !run(db, "INSERT INTO CardInfo VALUES ( " + std::to_string(card.CardKind) + ", '" + card.CardID + "', 0 );") ||
            !run(db, "BEGIN;"))
            return false;
        for (int i = 1; i <= kRowsPerCard; ++i) {
            if (!run(db, "INSERT INTO Rireki ( TorihikiTsuuban, RiyouKubun, RiyouYmd, RiyouHms, Kingaku, Zangaku ) "
                         "VALUES ( " + std::to_string(i) + ", 32, 20100101, 0, 100, " + std::to_string(f * 7 % 5000) + " );"))
                return false;
        }
        if (!run(db, "COMMIT;")) return false;
    }
    return true;
}

int ignoreRow(void*, int, char**, char**) { return 0; }

struct Step {
    const char* name;
    std::function<void()> prepare;  // untimed, before each round
    std::function<bool()> run;      // timed; false: the step failed
};

}  // namespace

int main(int argc, char** argv) {
    bridge::setLibraryPath(TOVANI_BRIDGE_LIBRARY);
    const int rows = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
    const int files = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1000;
    const int distinct = argc > 3 ? std::clamp(std::atoi(argv[3]), 1, kStations) : 500;

    // A folder of this run's own: the Windows build runs it too (under Wine).
    const std::string tmpl =
        os::pathText(std::filesystem::temp_directory_path() / os::osPath("views-db-bench-" + os::processTag()));
    if (std::string why = os::makePrivateFolders(tmpl); !why.empty()) {
        std::fprintf(stderr, "%s: %s\n", tmpl.c_str(), why.c_str());
        return 1;
    }
    const std::string transitFolder = tmpl + "/transit";
    const std::string cardsFolder = tmpl + "/cards";
    os::makePrivateFolders(rirekiFolder(transitFolder));
    os::makePrivateFolders(rirekiFolder(cardsFolder));
    const std::string transitFile = cardDbPath(transitFolder, CardKindSF, "0102-0304-0506-0708");
    if (!makeStationDb(transitFolder) || !makeTransitFile(transitFile, rows, distinct) || !makeCardFiles(cardsFolder, files)) {
        std::fprintf(stderr, "could not build the files under %s\n", tmpl.c_str());
        return 1;
    }
    std::vector<std::string> entries;
    for (const auto& e : std::filesystem::directory_iterator(os::osPath(rirekiFolder(cardsFolder))))
        entries.push_back(os::pathText(e.path().filename()));
    std::sort(entries.begin(), entries.end());

    PlainViewHost host;
    CardReadResults card;
    NameCaches caches;
    std::string error;
    NameLookup names{transitFolder, caches, error};
    bool ascending = false;
    ViewData data;
    ViewContext ctx{host, card, names, error, ascending, data};

    const std::vector<Step> steps = {
        {"engine alone: history query rows", [] {},
         [&] {
             DbFile db;
             return db.open(transitFile, bridge::OpenReadOnly) &&
                    db.exec("SELECT * FROM Rireki ORDER BY TorihikiTsuuban DESC;", ignoreRow, nullptr);
         }},
        {"history view, name caches empty", [&] { caches = NameCaches{}; },
         [&] { return showRirekiFile(ctx, transitFile); }},
        {"history view, names cached", [] {}, [&] { return showRirekiFile(ctx, transitFile); }},
        {"monthly totals view", [] {}, [&] { return showSyuukeiFile(ctx, transitFile); }},
        {"balance overview", [] {}, [&] { return cmdZandaka_Click(ctx, cardsFolder, entries); }},
    };

    std::printf("%d transit rows between %d of %d stations, %d card files of %d rows, %d rounds\n", rows, distinct,
                kStations, files, kRowsPerCard, kRounds);
    int status = 0;
    for (const Step& step : steps) {
        std::vector<double> ms;
        for (int r = 0; r < kRounds; ++r) {
            step.prepare();
            const auto start = Clock::now();
            const bool ok = step.run();
            ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            if (!ok) {
                std::fprintf(stderr, "%s failed: %s\n", step.name, error.c_str());
                status = 1;
                break;
            }
        }
        std::sort(ms.begin(), ms.end());
        std::printf("  %-36s min %8.1f ms   median %8.1f ms\n", step.name, ms.front(), ms[ms.size() / 2]);
    }
    std::printf("table after the last view: %d rows; %zu station names cached\n", host.table().rows(),
                caches.StationCache.size());

    std::filesystem::remove_all(os::osPath(tmpl));
    return status;
}
