#include "names/station_lookup.h"

#include <cstdio>

#include "database/db_access.h"
#include "database/file_system.h"
#include "names/station_import.h"

namespace tovani {

std::string codeKey(int32_t code) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%X", static_cast<uint32_t>(code));
    return buf;
}

std::string getCacheItem(const NameCache& cache, const std::string& key, bool& found) {
    const auto it = cache.find(key);
    found = it != cache.end();
    return found ? it->second : std::string();
}

namespace {

std::string value(int columnCount, char** values, int i) {
    return i < columnCount && values != nullptr ? utf8ToString(values[i], -1) : std::string();
}

int32_t codeValue(int columnCount, char** values) {
    return columnCount > 0 && values != nullptr ? valueToInt32(values[0]) : 0;
}

// What differs between the station and the bus-stop lookup.
template <typename Info>
struct Lookup {
    const char* table;
    bridge::ExecCallback rowCallback;
    const char* notRegisteredSuffix;
    std::string (*text)(const Info&);
};

std::string stationText(const StationInfo& s) {
    std::string t;
    if (!s.Eki.empty()) t += s.Eki + "駅 ";
    if (!s.Senku.empty()) t += s.Senku + "線 ";
    if (!s.Kaisha.empty()) t += s.Kaisha;
    return t;
}

std::string busStopText(const BusStopInfo& b) {
    std::string t = b.Teiryuujo;
    if (!b.Rosen.empty()) t += " " + b.Rosen + "線";
    t += ",";  // separates stop and route from the company
    if (!b.Kaisha.empty()) t += b.Kaisha;
    return t;
}

template <typename Info>
std::string lookUp(const Lookup<Info>& how, int32_t code, const std::string& programDir, NameCache& cache,
                   std::string& DBErrorMessage) {
    const std::string key = codeKey(code);
    bool found = false;
    std::string cached = getCacheItem(cache, key, found);
    if (found) return cached;

    const std::string path = stationDbPath(programDir);
    if (!fileExists(path)) return std::string();
    DbFile db;
    if (!db.open(path, bridge::OpenReadOnly)) {
        DBErrorMessage = "DB open error: " + path;
        return std::string();
    }
    const std::string table = how.table;
    const std::string where = " WHERE Code = " + std::to_string(code) + ";";
    int32_t count = 0;
    if (!db.exec("SELECT COUNT(*) FROM " + table + where, exec_callback_count, &count)) {
        DBErrorMessage = "DB COUNT " + table + " exec error: " + db.errmsg();
        return std::string();
    }
    if (count != 1) return "未登録CD:" + key + how.notRegisteredSuffix;

    Info info;
    if (!db.exec("SELECT * FROM " + table + where, how.rowCallback, &info)) {
        DBErrorMessage = "DB SELECT " + table + " exec error: " + db.errmsg();
        return std::string();
    }
    std::string text = how.text(info);
    cache.emplace(key, text);
    return text;
}

}  // namespace

int exec_callback_Station(void* user, int columnCount, char** values, char**) {
    auto* s = static_cast<StationInfo*>(user);
    s->Code = codeValue(columnCount, values);
    s->Kaisha = value(columnCount, values, 1);
    s->Senku = value(columnCount, values, 2);
    s->Eki = value(columnCount, values, 3);
    return 0;
}

int exec_callback_BusStop(void* user, int columnCount, char** values, char**) {
    auto* b = static_cast<BusStopInfo*>(user);
    b->Code = codeValue(columnCount, values);
    b->Kaisha = value(columnCount, values, 1);
    b->Rosen = value(columnCount, values, 2);
    b->Teiryuujo = value(columnCount, values, 3);
    return 0;
}

std::string getStation(int32_t code, const std::string& programDir, NameCaches& caches,
                       std::string& DBErrorMessage) {
    static const Lookup<StationInfo> how{"Station", exec_callback_Station, "", stationText};
    return lookUp(how, code, programDir, caches.StationCache, DBErrorMessage);
}

std::string getBusStop(int32_t code, const std::string& programDir, NameCaches& caches,
                       std::string& DBErrorMessage) {
    static const Lookup<BusStopInfo> how{"BusStop", exec_callback_BusStop, ",", busStopText};
    return lookUp(how, code, programDir, caches.BusStopCache, DBErrorMessage);
}

}  // namespace tovani
