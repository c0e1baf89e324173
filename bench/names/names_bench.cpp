// Times the station import (10,000 station lines, 2,000 bus-stop lines, one
// committed statement each) and 1,000,000 name lookups over 2,000 distinct
// codes, where all but the first lookup of each code come from the caches.
//
// usage: names_bench [FOLDER]   (FOLDER: where to build the files; default a
// fresh folder under the temporary folder, removed afterwards)

#include <iconv.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "names/station_import.h"
#include "names/station_lookup.h"
#include "database/bridge.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kStations = 10000;
constexpr int kBusStops = 2000;
constexpr int kDistinctCodes = 2000;  // half stations, half bus stops
constexpr int kLookups = 1000000;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

bool writeShiftJis(const std::filesystem::path& file, const std::string& utf8) {
    iconv_t cd = iconv_open("CP932", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    std::string out(utf8.size() * 2, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    char* o = out.data();
    size_t outLeft = out.size();
    const bool ok = iconv(cd, &in, &inLeft, &o, &outLeft) != static_cast<size_t>(-1);
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    std::ofstream f(file, std::ios::binary);
    f << out;
    return ok && f.good();
}

// Station i: region i / 256 (hexadecimal), line i % 256, station 1.
int32_t stationCodeOf(int i) { return ((i >> 8) << 16) | ((i & 0xFF) << 8) | 1; }
// Bus stop i: first code 8000 + i / 256, second i % 256 (negative codes).
int32_t busCodeOf(int i) { return static_cast<int32_t>(((0x8000u + (i >> 8)) << 16) | (i & 0xFF)); }

// Distinct code i (0 to kDistinctCodes - 1): even ones are stations spread
// over the whole station file, odd ones bus stops.
std::string lookUp(int i, const std::string& folder, tovani::NameCaches& caches, std::string& error) {
    if (i % 2 == 0) return tovani::getStation(stationCodeOf(i / 2 * 10), folder, caches, error);
    return tovani::getBusStop(busCodeOf(i / 2 * 2), folder, caches, error);
}

class PrintingSink : public tovani::MessageSink {
public:
    void showMessage(const std::string& text) override {
        if (text != "CSVtoDB end") std::fprintf(stderr, "import: %s\n", text.c_str());
    }
};

}  // namespace

int main(int argc, char** argv) {
    tovani::bridge::setLibraryPath(std::string(TOVANI_PROGRAM_DIR) + "/librowgate.so");

    std::filesystem::path folder;
    bool removeAfter = false;
    if (argc > 1) {
        folder = argv[1];
        std::filesystem::create_directories(folder);
    } else {
        std::string tmpl = (std::filesystem::temp_directory_path() / "names-bench-XXXXXX").string();
        if (mkdtemp(tmpl.data()) == nullptr) return 1;
        folder = tmpl;
        removeAfter = true;
    }
    std::filesystem::remove(folder / "Station.DB");

    std::string stations, buses;
    char line[160];
    for (int i = 0; i < kStations; ++i) {
        std::snprintf(line, sizeof line, "%X,%X,1,鉄道会社%d,本線%d,駅名%d\r\n", i >> 8, i & 0xFF, i % 7, i % 50, i);
        stations += line;
    }
    for (int i = 0; i < kBusStops; ++i) {
        std::snprintf(line, sizeof line, "%X,%X,バス会社%d,系統%d,停留所%d\r\n", 0x8000 + (i >> 8), i & 0xFF, i % 5,
                      i % 40, i);
        buses += line;
    }
    if (!writeShiftJis(folder / "StationCode.csv", stations) || !writeShiftJis(folder / "irucabus.csv", buses)) {
        std::fprintf(stderr, "cannot write the CSV files in %s\n", folder.c_str());
        return 1;
    }

    PrintingSink sink;
    std::string error;
    auto start = Clock::now();
    const bool imported = tovani::CSVtoDB(folder.string(), sink, error);
    const double importSeconds = secondsSince(start);
    if (!imported) {
        std::fprintf(stderr, "import failed: %s\n", error.c_str());
        return 1;
    }
    std::printf("import: %d station + %d bus-stop lines in %.3f s (%.0f lines/s) in %s\n", kStations, kBusStops,
                importSeconds, (kStations + kBusStops) / importSeconds, folder.c_str());

    tovani::NameCaches caches;
    size_t checksum = 0;
    start = Clock::now();
    for (int i = 0; i < kDistinctCodes; ++i) {  // first sight: one database access each
        checksum += lookUp(i, folder.string(), caches, error).size();
    }
    const double coldSeconds = secondsSince(start);
    start = Clock::now();
    for (int k = 0; k < kLookups; ++k) {
        const int i = static_cast<int>((static_cast<unsigned>(k) * 7919u) % kDistinctCodes);
        checksum += lookUp(i, folder.string(), caches, error).size();
    }
    const double warmSeconds = secondsSince(start);
    if (!error.empty() || caches.StationCache.size() + caches.BusStopCache.size() != kDistinctCodes) {
        std::fprintf(stderr, "lookups failed: %s (cached %zu)\n", error.c_str(),
                     caches.StationCache.size() + caches.BusStopCache.size());
        return 1;
    }
    std::printf("lookups, first sight: %d codes in %.3f s (%.1f us each, from Station.DB)\n", kDistinctCodes,
                coldSeconds, coldSeconds * 1e6 / kDistinctCodes);
    std::printf("lookups, cached: %d over %d codes in %.3f s (%.0f ns each) [checksum %zu]\n", kLookups,
                kDistinctCodes, warmSeconds, warmSeconds * 1e9 / kLookups, checksum);

    if (removeAfter) std::filesystem::remove_all(folder);
    return 0;
}
