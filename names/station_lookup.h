#pragma once

// Station and bus-stop codes of transit history turned into display texts,
// read from Station.DB and kept in caches for the life of the program.

#include <cstdint>
#include <string>
#include <unordered_map>

namespace tovani {

struct StationInfo {
    int32_t Code = 0;
    std::string Kaisha;
    std::string Senku;
    std::string Eki;
};

struct BusStopInfo {
    int32_t Code = 0;
    std::string Kaisha;
    std::string Rosen;
    std::string Teiryuujo;
};

// Display texts keyed by the code in upper-case hexadecimal.
using NameCache = std::unordered_map<std::string, std::string>;

// The two caches; the caller (the main window) owns them for the life of the
// program. Only names that were found go in; nothing is ever removed.
struct NameCaches {
    NameCache StationCache;
    NameCache BusStopCache;
};

// Upper-case hexadecimal without leading zeros; a negative code gives its
// eight-digit two's complement ("FFFF0000" for -65536).
std::string codeKey(int32_t code);

// The cached text for key, found = true; on a miss the empty text and false.
std::string getCacheItem(const NameCache& cache, const std::string& key, bool& found);

// Row callbacks (user argument: StationInfo* or BusStopInfo*): Code from
// value 0, the three texts from values 1 to 3 in column order.
int exec_callback_Station(void* user, int columnCount, char** values, char** names);
int exec_callback_BusStop(void* user, int columnCount, char** values, char** names);

// Display text of a station: Eki + "駅 ", Senku + "線 ", Kaisha (each part
// only when not empty). "未登録CD:" + key for a code not in the table; the
// empty text when Station.DB is missing or a query fails (DBErrorMessage
// says why, except for the missing file).
std::string getStation(int32_t code, const std::string& programDir, NameCaches& caches,
                       std::string& DBErrorMessage);

// Display text of a bus stop: Teiryuujo, " " + Rosen + "線" when Rosen is not
// empty, ",", Kaisha. "未登録CD:" + key + "," for a code not in the table.
std::string getBusStop(int32_t code, const std::string& programDir, NameCaches& caches,
                       std::string& DBErrorMessage);

}  // namespace tovani
