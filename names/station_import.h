#pragma once

// Builds the name database Station.DB from the two CSV files beside it:
// StationCode.csv (railway stations) and irucabus.csv (bus stops), both in
// Shift_JIS without a header line.

#include <cstdint>
#include <string>

namespace tovani {

// Where the import shows its messages: the window's message box, or a
// printout for the command-line tool.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void showMessage(const std::string& text) = 0;
};

// The exact table statements of Station.DB, in the order they are run.
extern const char* const kCreateStationSql;
extern const char* const kCreateBusStopSql;

// programDir + "/Station.DB", "/StationCode.csv", "/irucabus.csv".
std::string stationDbPath(const std::string& programDir);
std::string stationCsvPath(const std::string& programDir);
std::string busStopCsvPath(const std::string& programDir);

// Adds every line of both CSV files to Station.DB in programDir, one
// statement per line. A failure sets DBErrorMessage; a failed insert or a bad
// CSV file or line is also shown, and the import stops there. Always ends by
// showing "CSVtoDB end". Returns false when anything failed.
bool CSVtoDB(const std::string& programDir, MessageSink& messages, std::string& DBErrorMessage);

}  // namespace tovani
