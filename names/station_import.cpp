#include "names/station_import.h"

#include <functional>
#include <vector>

#include "database/db_access.h"
#include "database/file_system.h"
#include "names/csv_lines.h"

namespace tovani {

const char* const kCreateStationSql =
    "CREATE TABLE IF NOT EXISTS Station ( Code INTEGER PRIMARY KEY, Kaisha TEXT, Senku TEXT, Eki TEXT );";
const char* const kCreateBusStopSql =
    "CREATE TABLE IF NOT EXISTS BusStop ( Code INTEGER PRIMARY KEY, Kaisha TEXT, Rosen TEXT, Teiryuujo TEXT );";

std::string stationDbPath(const std::string& programDir) { return programDir + "/Station.DB"; }
std::string stationCsvPath(const std::string& programDir) { return programDir + "/StationCode.csv"; }
std::string busStopCsvPath(const std::string& programDir) { return programDir + "/irucabus.csv"; }

namespace {

bool hexDigit(char c, uint32_t& v) {
    if (c >= '0' && c <= '9') v = static_cast<uint32_t>(c - '0');
    else if (c >= 'A' && c <= 'F') v = static_cast<uint32_t>(c - 'A' + 10);
    else if (c >= 'a' && c <= 'f') v = static_cast<uint32_t>(c - 'a' + 10);
    else return false;
    return true;
}

bool allHex(const std::string& s) {
    uint32_t v;
    if (s.empty()) return false;
    for (const char c : s)
        if (!hexDigit(c, v)) return false;
    return true;
}

// Value of the last `width` hexadecimal digits of the field, as the files'
// layout asks ("00" + field, last two characters; "0000" + field, last four).
uint32_t lastDigitsValue(const std::string& field, size_t width) {
    const size_t from = field.size() > width ? field.size() - width : 0;
    uint32_t value = 0, d = 0;
    for (size_t i = from; i < field.size(); ++i) {
        hexDigit(field[i], d);
        value = value * 16 + d;
    }
    return value;
}

std::string notHex(int fieldNo, const std::string& field) {
    return "field " + std::to_string(fieldNo) + " \"" + field + "\" is not a hexadecimal number";
}

// Code = field 1, then the last two digits of field 2, then the last two of
// field 3, read as one hexadecimal number of at most 32 bits.
bool stationCode(const std::vector<std::string>& f, int32_t& code, std::string& problem) {
    for (int i = 0; i < 3; ++i) {
        if (!allHex(f[i])) {
            problem = notHex(i + 1, f[i]);
            return false;
        }
    }
    uint32_t region = 0, d = 0;
    for (const char c : f[0]) {
        hexDigit(c, d);
        if (region > 0xFFF) {  // a fifth significant digit would pass 32 bits
            problem = "field 1 \"" + f[0] + "\" is too long for a 32-bit station code";
            return false;
        }
        region = region * 16 + d;
    }
    code = static_cast<int32_t>((region << 16) | (lastDigitsValue(f[1], 2) << 8) | lastDigitsValue(f[2], 2));
    return true;
}

// Code = the last four digits of field 1, then the last four of field 2, as a
// 32-bit signed number: a first code of 8000 or more gives a negative code.
bool busStopCode(const std::vector<std::string>& f, int32_t& code, std::string& problem) {
    for (int i = 0; i < 2; ++i) {
        if (!allHex(f[i])) {
            problem = notHex(i + 1, f[i]);
            return false;
        }
    }
    code = static_cast<int32_t>((lastDigitsValue(f[0], 4) << 16) | lastDigitsValue(f[1], 4));
    return true;
}

struct CsvLayout {
    const char* table;     // "Station" or "BusStop"
    size_t fieldCount;     // fields the line must have; the last three are names
    std::function<bool(const std::vector<std::string>&, int32_t&, std::string&)> code;
};

// Inserts every line of one CSV file. False (with the message shown) at the
// first line that cannot be read or inserted.
bool importFile(DbFile& db, const std::string& csvPath, const CsvLayout& layout,
                MessageSink& messages, std::string& DBErrorMessage) {
    auto fail = [&](const std::string& text) {
        DBErrorMessage = text;
        messages.showMessage(DBErrorMessage);
        return false;
    };
    const std::string prefix = "CSV read error: " + csvPath;
    if (!fileExists(csvPath)) return fail(prefix + ": file not found");

    CsvLineReader reader;
    if (!reader.open(csvPath)) return fail(prefix + ": " + reader.problem());

    std::string line;
    for (;;) {
        const CsvLineReader::Result r = reader.next(line);
        if (r == CsvLineReader::Result::End) break;
        const std::string where = prefix + " line " + std::to_string(reader.lineNumber()) + ": ";
        if (r == CsvLineReader::Result::Error) return fail(where + reader.problem());
        // A blank line (often the last one of a hand-edited file) carries no data.
        if (line.empty()) continue;

        const std::vector<std::string> fields = splitFields(line);
        if (fields.size() < layout.fieldCount) {
            return fail(where + std::to_string(fields.size()) + (fields.size() == 1 ? " field" : " fields") +
                        ", " + std::to_string(layout.fieldCount) + " needed");
        }
        int32_t code = 0;
        std::string problem;
        if (!layout.code(fields, code, problem)) return fail(where + problem);

        // Names go in between quotes with every quote inside doubled, so a
        // name like O'Hare is stored as it stands.
        const size_t n = layout.fieldCount;
        const std::string sql = std::string("INSERT INTO ") + layout.table + " VALUES ( " +
                                std::to_string(code) + ", " + sqlText(fields[n - 3]) + ", " +
                                sqlText(fields[n - 2]) + ", " + sqlText(fields[n - 1]) + " )";
        if (!db.exec(sql)) {  // exec hands the text over through stringToUtf8
            return fail(std::string("DB INSERT ") + layout.table + " exec error: " + db.errmsg());
        }
    }
    return true;
}

bool importAll(const std::string& programDir, MessageSink& messages, std::string& DBErrorMessage) {
    const std::string dbPath = stationDbPath(programDir);
    DbFile db;
    if (!db.open(dbPath, bridge::OpenReadWriteCreate)) {
        DBErrorMessage = "DB open error: " + dbPath + (db.refusal().empty() ? "" : ": " + db.refusal());
        return false;
    }
    for (const char* sql : {kCreateStationSql, kCreateBusStopSql}) {
        if (!db.exec(sql)) {
            DBErrorMessage = "DB CREATE TABLE exec error: " + db.errmsg();
            return false;
        }
    }
    // A station file that fails stops the import before any bus stop.
    if (!importFile(db, stationCsvPath(programDir), {"Station", 6, stationCode}, messages, DBErrorMessage))
        return false;
    return importFile(db, busStopCsvPath(programDir), {"BusStop", 5, busStopCode}, messages, DBErrorMessage);
}

}  // namespace

bool CSVtoDB(const std::string& programDir, MessageSink& messages, std::string& DBErrorMessage) {
    const bool ok = importAll(programDir, messages, DBErrorMessage);  // the database is closed here
    messages.showMessage("CSVtoDB end");
    return ok;
}

}  // namespace tovani
