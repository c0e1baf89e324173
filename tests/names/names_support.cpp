#include "names_support.h"

#include <iconv.h>

#include <stdexcept>

#include "database/db_access.h"
#include "support/temp_dir.h"

namespace tovani::test {

std::string toShiftJis(const std::string& utf8) {
    iconv_t cd = iconv_open("CP932", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("no CP932 encoder");
    std::string out(utf8.size() * 2 + 4, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    char* o = out.data();
    size_t outLeft = out.size();
    const size_t rc = iconv(cd, &in, &inLeft, &o, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1)) throw std::runtime_error("not encodable as Shift_JIS: " + utf8);
    out.resize(out.size() - outLeft);
    return out;
}

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
