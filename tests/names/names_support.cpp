#include "names_support.h"

#include <stdexcept>

#include "database/db_access.h"
#include "support/system.h"
#include "support/temp_dir.h"

namespace tovani::test {

void writeCsv(const std::filesystem::path& file, const std::vector<std::string>& utf8Lines) {
    std::string text;
    for (const std::string& line : utf8Lines) text += toShiftJis(line) + "\r\n";
    writeFile(file, text);
}

namespace {
int collect(void* user, int columnCount, char** values, char**) {
    auto* rows = static_cast<Rows*>(user);
    rows->emplace_back();
    for (int i = 0; i < columnCount; ++i)
        rows->back().push_back(values[i] == nullptr ? "<NULL>" : utf8ToString(values[i], -1));
    return 0;
}
}  // namespace

Rows queryRows(const std::string& dbPath, const std::string& sql) {
    DbFile db;
    if (!db.open(dbPath, bridge::OpenReadOnly)) throw std::runtime_error("cannot open " + dbPath);
    Rows rows;
    if (!db.exec(sql, collect, &rows)) throw std::runtime_error(sql + ": " + db.errmsg());
    return rows;
}

}  // namespace tovani::test
