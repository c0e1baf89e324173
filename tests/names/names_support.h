#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "names/station_import.h"
#include "support/system.h"  // toShiftJis

namespace tovani::test {

// Writes UTF-8 lines as a Shift_JIS CSV file with CR LF line ends.
void writeCsv(const std::filesystem::path& file, const std::vector<std::string>& utf8Lines);

// Remembers every message the import shows.
class RecordingSink : public MessageSink {
public:
    void showMessage(const std::string& text) override { shown.push_back(text); }
    std::vector<std::string> shown;
};

using Rows = std::vector<std::vector<std::string>>;

// Every row of a query on the file, each value decoded ("<NULL>" for NULL).
Rows queryRows(const std::string& dbPath, const std::string& sql);

}  // namespace tovani::test
