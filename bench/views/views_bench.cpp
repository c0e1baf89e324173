// Times the history table for a large transit file, model only: laying the
// table out for ROWS rows (default 100,000) and writing every row with
// setRirekiRow, with every station and bus-stop name already in the caches
// (a Station.DB is imported from the sample lists first); then the click
// sorts on it: the balance column (amounts, parsed from the cell texts) both
// ways and the serial-number column (numbers).
//
// Each step runs kRounds times on fresh data; the minimum and the median are
// printed. A step is one entry of the steps table in main, so a window-side
// step (say, the same fill through a model adapter) is one more entry.
//
// usage: views_bench [ROWS]

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "cards/card_data.h"
#include "database/bridge.h"
#include "names/station_import.h"
#include "views/card_display.h"
#include "views/rireki_rows.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRounds = 7;

// Every character "A" is 150 twips: widths need not be real here.
class FixedFont : public tovani::TextMeasure {
public:
    int textWidthTwips(const std::string& utf8) const override { return 150 * static_cast<int>(utf8.size()); }
};

class QuietSink : public tovani::MessageSink {
public:
    void showMessage(const std::string& text) override {
        if (text != "CSVtoDB end") std::fprintf(stderr, "import: %s\n", text.c_str());
    }
};

// Transit history like a commuter's: mostly rides between sample stations,
// every 7th a bus ride, every 11th a shop sale, every 13th a charge; the
// balance wanders so that the amount sort has work to do.
std::vector<tovani::RirekiInfo> makeHistory(int rows) {
    static const int32_t kStations[] = {0x0101, 0x0102, 0x0103, 0x010A, 0x2501, 0x2502, 0xE201, 0xE210};
    std::vector<tovani::RirekiInfo> h(static_cast<size_t>(rows));
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    for (int i = 0; i < rows; ++i) {
        tovani::RirekiInfo& e = h[static_cast<size_t>(i)];
        e.TorihikiTsuuban = rows - i;
        e.RiyouYmd = 20100101 + (i % 28);
        e.Zangaku = static_cast<int32_t>(next() % 200000);
        if (i % 13 == 0) {
            e.RiyouKubun = 0x02;
            e.Charge = 1000 * static_cast<int32_t>(1 + next() % 10);
            e.NyuujouCD = kStations[next() % 8];
        } else if (i % 11 == 0) {
            e.RiyouKubun = 0x46;
            e.RiyouHms = 120000 + static_cast<int32_t>(next() % 5959);
            e.RiyouHms -= e.RiyouHms % 100 >= 60 ? 40 : 0;
            e.Kingaku = static_cast<int32_t>(next() % 3000);
            e.SyutujouCD = static_cast<int32_t>(next() % 0x10000);
        } else if (i % 7 == 0) {
            e.RiyouKubun = 0x0F;
            e.Kingaku = 210;
            e.NyuujouCD = 1;
            e.SyutujouCD = 1 + static_cast<int32_t>(next() % 2);
        } else {
            e.RiyouKubun = 0x16;
            e.Kingaku = 130 + 10 * static_cast<int32_t>(next() % 40);
            e.NyuujouCD = kStations[next() % 8];
            e.SyutujouCD = kStations[next() % 8];
        }
    }
    return h;
}

void fill(tovani::ResultTable& table, const std::vector<tovani::RirekiInfo>& history, tovani::NameLookup& names) {
    static const FixedFont font;
    table.setLocked(true);  // as lockControls does while a view fills the table
    tovani::setRirekiGrid(font, table, static_cast<int32_t>(history.size()), tovani::CardKindSF);
    for (size_t i = 0; i < history.size(); ++i) {
        tovani::setRirekiRow(table, static_cast<int>(i) + 1, history[i], tovani::CardKindSF, names);
    }
    table.setLocked(false);
}

struct Step {
    const char* name;
    std::function<void()> prepare;  // untimed, before each round
    std::function<void()> run;      // timed
};

}  // namespace

int main(int argc, char** argv) {
    tovani::bridge::setLibraryPath(std::string(TOVANI_PROGRAM_DIR) + "/librowgate.so");
    const int rows = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;

    std::string tmpl = (std::filesystem::temp_directory_path() / "views-bench-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::filesystem::path folder = tmpl;
    for (const char* name : {"StationCode.csv", "irucabus.csv"}) {
        std::filesystem::copy_file(std::filesystem::path(TOVANI_SOURCE_DIR) / "samples/stations" / name,
                                   folder / name);
    }
    QuietSink sink;
    std::string error;
    if (!tovani::CSVtoDB(folder.string(), sink, error)) {
        std::fprintf(stderr, "station import failed: %s\n", error.c_str());
        return 1;
    }

    tovani::NameCaches caches;
    tovani::NameLookup names{folder.string(), caches, error};
    const std::vector<tovani::RirekiInfo> history = makeHistory(rows);
    tovani::ResultTable table;
    fill(table, history, names);  // warms the name caches
    if (!error.empty()) std::fprintf(stderr, "lookup: %s\n", error.c_str());

    bool ascending = false;
    int notNumbers = 0;
    const std::vector<Step> steps = {
        {"layout + setRirekiRow, all rows", [&] { table = tovani::ResultTable(); },
         [&] { fill(table, history, names); }},
        {"sort by click, balance ascending", [&] { fill(table, history, names); table.setCurrentCol(7); ascending = false; },
         [&] { notNumbers += tovani::sortByClick(table, ascending, tovani::CardKindSF); }},
        {"sort by click, balance descending", [&] { fill(table, history, names); table.setCurrentCol(7); ascending = true; },
         [&] { notNumbers += tovani::sortByClick(table, ascending, tovani::CardKindSF); }},
        {"sort by click, serial number", [&] { fill(table, history, names); table.setCurrentCol(0); ascending = false; },
         [&] { notNumbers += tovani::sortByClick(table, ascending, tovani::CardKindSF); }},
    };

    std::printf("%d transit rows, %zu station and %zu bus-stop names cached, %d rounds\n", rows,
                caches.StationCache.size(), caches.BusStopCache.size(), kRounds);
    for (const Step& step : steps) {
        std::vector<double> ms;
        for (int r = 0; r < kRounds; ++r) {
            step.prepare();
            const auto start = Clock::now();
            step.run();
            ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        }
        std::sort(ms.begin(), ms.end());
        std::printf("  %-36s min %8.1f ms   median %8.1f ms\n", step.name, ms.front(), ms[ms.size() / 2]);
    }
    if (notNumbers != 0) std::printf("cells that were no number: %d\n", notNumbers);

    std::filesystem::remove_all(folder);
    return 0;
}
