#include "store/card_store.h"

#include <cstdio>
#include <filesystem>
#include <limits>
#include <string>
#include <utility>

#include "database/db_access.h"
#include "platform/os/files.h"
#include "platform/os/paths.h"
#include "store/db_files.h"

namespace tovani {

namespace {

// Rows are handed to the callbacks as UTF-8 value texts; a callback that
// finds fewer columns than it needs answers non-zero, so the engine stops the
// query and the caller reports it instead of reading past the row.
constexpr int kGoOn = 0;
constexpr int kStop = 1;

constexpr int kCardInfoColumns = 3;
constexpr int kRirekiBaseColumns = 6;  // TorihikiTsuuban .. Zangaku: every card file has them

std::string number(int32_t v) { return std::to_string(v); }

// Value k of a row as a number field. A SQL NULL reads 0 (a column left
// empty); a text or a fraction refuses the row rather than reading as some
// other number, and `why` names the column and what it holds.
bool numberField(char** values, char** names, int k, int32_t& out, std::string& why) {
    if (values[k] == nullptr) {
        out = 0;
        return true;
    }
    const auto v = wholeNumberValue(values[k], std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
    if (!v) {
        const std::string column =
            names != nullptr && names[k] != nullptr ? utf8ToString(names[k], -1) : "column " + number(k + 1);
        why = "column " + column + " holds \"" + utf8ToString(values[k], -1) + "\" where a whole number belongs";
        return false;
    }
    out = static_cast<int32_t>(*v);
    return true;
}

// The readers' own callbacks, which keep the reason a row was refused.
template <class Record>
struct RowTarget {
    Record& record;
    std::string why;
};

int exec_callback_CardInfoWithReason(void* user, int columnCount, char** values, char** names) {
    auto& target = *static_cast<RowTarget<CardInfoRecord>*>(user);
    return readCardInfoRow(target.record, columnCount, values, names, target.why) ? kGoOn : kStop;
}

int exec_callback_RirekiWithReason(void* user, int columnCount, char** values, char** names) {
    auto& target = *static_cast<RowTarget<RirekiInfo>*>(user);
    return readRirekiRow(target.record, columnCount, values, names, target.why) ? kGoOn : kStop;
}

}  // namespace

std::string createCardInfoSql() {
    return "CREATE TABLE IF NOT EXISTS CardInfo ( CardKind INTEGER, CardID TEXT, HakkouYmd INTEGER );";
}

std::string createRirekiSql(int32_t cardKind) {
    std::string sql =
        "CREATE TABLE IF NOT EXISTS Rireki ( TorihikiTsuuban INTEGER PRIMARY KEY, RiyouKubun INTEGER, "
        "RiyouYmd INTEGER, RiyouHms INTEGER, Kingaku INTEGER, Zangaku INTEGER";
    const int columns = rirekiColumnCount(cardKind);
    if (columns >= 7) sql += ", Charge INTEGER";
    if (columns >= 13) {
        sql += ", Kiki INTEGER, Shiharai INTEGER, Nyuusyutujou INTEGER, NyuujouCD INTEGER, "
               "SyutujouCD INTEGER, Chiiki INTEGER";
    }
    sql += " );";
    return sql;
}

bool readCardInfoRow(CardInfoRecord& record, int columnCount, char** values, char** names, std::string& why) {
    if (columnCount < kCardInfoColumns || values == nullptr) {
        why = "CardInfo has " + number(columnCount) + " columns, " + number(kCardInfoColumns) + " expected";
        return false;
    }
    // Every value is checked before the record changes.
    CardInfoRecord read;
    if (!numberField(values, names, 0, read.CardKind, why)) return false;
    read.CardID = utf8ToString(values[1], -1);
    // Transit and WAON cards have no issue date, whatever the file holds.
    if (read.CardKind != CardKindSF && read.CardKind != CardKindWaon &&
        !numberField(values, names, 2, read.HakkouYmd, why))
        return false;
    record = std::move(read);
    return true;
}

bool readRirekiRow(RirekiInfo& record, int columnCount, char** values, char** names, std::string& why) {
    if (columnCount < kRirekiBaseColumns || values == nullptr) {
        why = "Rireki has " + number(columnCount) + " columns, at least " + number(kRirekiBaseColumns) + " expected";
        return false;
    }
    RirekiInfo read = record;
    const int n = columnCount < RirekiFieldCount ? columnCount : RirekiFieldCount;
    for (int k = 0; k < n; ++k) {
        if (!numberField(values, names, k, rirekiField(read, k), why)) return false;
    }
    record = read;
    return true;
}

int exec_callback_CardInfo(void* user, int columnCount, char** values, char** names) {
    if (user == nullptr) return kStop;
    std::string why;
    return readCardInfoRow(*static_cast<CardInfoRecord*>(user), columnCount, values, names, why) ? kGoOn : kStop;
}

int exec_callback_Rireki(void* user, int columnCount, char** values, char** names) {
    if (user == nullptr) return kStop;
    std::string why;
    return readRirekiRow(*static_cast<RirekiInfo*>(user), columnCount, values, names, why) ? kGoOn : kStop;
}

namespace {

// A slot is stored when it holds a transaction whose amount is known: an
// amount that could not be worked out is left for a later read rather than
// stored wrong for good.
bool storesSlot(const CardReadResults& card, int i) {
    return card.CardRireki[static_cast<size_t>(i)].RiyouKubun != 0 && !card.AmountUnknown[static_cast<size_t>(i)];
}

bool leftOut(const CardReadResults& card, int i) {
    return card.CardRireki[static_cast<size_t>(i)].RiyouKubun != 0 && card.AmountUnknown[static_cast<size_t>(i)];
}

void removeOrSay(const std::string& path) {
    if (!os::removeFile(path))
        std::fprintf(stderr, "Tovani Viewer: %s holds no history and could not be removed\n", path.c_str());
}

// Removes a card file that a failed store made, once it is sure that no
// history row is in it: a file with CardInfo and no Rireki row breaks the
// balance overview at every start. The check and the removal run under the
// write lock, so another process storing the same new card keeps its rows.
// An empty file (the disk was full before the first page) holds nothing at
// all; the engine may not even open it beside the journal it could not fill.
void removeFileWithoutHistory(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::file_size(os::osPath(path), ec) == 0 && !ec) {
        std::filesystem::remove(os::osPath(path + "-journal"), ec);
        removeOrSay(path);
        return;
    }
    DbFile db;
    if (!fileExists(path) || !db.open(path, bridge::OpenReadWrite) || !db.exec("BEGIN IMMEDIATE;")) return;
    int32_t tables = -1;
    int32_t rows = -1;
    if (db.exec("SELECT COUNT(*) FROM sqlite_master WHERE name = 'Rireki';", exec_callback_count, &tables) &&
        (tables == 0 || (db.exec("SELECT COUNT(*) FROM Rireki;", exec_callback_count, &rows) && rows == 0)))
        removeOrSay(path);
    db.exec("ROLLBACK;");
}

// waiting counts the entries left out that the file does not hold.
bool storeRead(const std::string& path, const CardReadResults& card, int& waiting, std::string& DBErrorMessage) {
    DbFile db;
    if (!db.open(path, bridge::OpenReadWriteCreate)) {
        DBErrorMessage = "DB open error" + db.refusalNote(path);
        return false;
    }

    for (const std::string& sql : {createCardInfoSql(), createRirekiSql(card.CardKind)}) {
        if (!db.exec(sql)) {
            DBErrorMessage = "DB CREATE TABLE exec error: " + db.errmsg();
            return false;
        }
    }

    int32_t count = 0;
    if (!db.exec("SELECT COUNT(*) FROM CardInfo;", exec_callback_count, &count)) {
        DBErrorMessage = "DB COUNT CardInfo exec error: " + db.errmsg();
        return false;
    }
    // The card's identity is written once; a later read never changes it.
    // The insert re-checks inside its own statement: another process storing
    // the same new card may have written the row since the count, and a
    // second row would make the file unreadable for the views.
    if (count == 0) {
        const std::string sql = "INSERT INTO CardInfo SELECT " + number(card.CardKind) + ", " +
                                sqlText(card.CardID) + ", " + number(card.HakkouYmd) +
                                " WHERE NOT EXISTS (SELECT * FROM CardInfo)";
        if (!db.exec(sql)) {
            DBErrorMessage = "DB INSERT CardInfo exec error: " + db.errmsg();
            return false;
        }
    }

    // A transaction is stored exactly when its serial number is not yet in
    // the file; rows already there are never compared or changed. Each insert
    // commits on its own, so a store cut short is completed by the next one.
    const int slots = rirekiSlotCount(card.CardKind);
    const int columns = rirekiColumnCount(card.CardKind);
    for (int i = 0; i < slots; ++i) {
        if (!storesSlot(card, i) && !leftOut(card, i)) continue;
        const RirekiInfo& r = card.CardRireki[static_cast<size_t>(i)];

        count = 0;
        const std::string countSql =
            "SELECT COUNT(*) FROM Rireki WHERE TorihikiTsuuban = " + number(r.TorihikiTsuuban) + ";";
        if (!db.exec(countSql, exec_callback_count, &count)) {
            DBErrorMessage = "DB COUNT Rireki exec error: " + db.errmsg();
            return false;
        }
        if (count != 0) continue;
        // Not stored yet and its amount unknown: it waits for the next read.
        if (leftOut(card, i)) {
            ++waiting;
            continue;
        }

        std::string sql = "INSERT INTO Rireki VALUES ( ";
        for (int k = 0; k < columns; ++k) {
            if (k > 0) sql += ", ";
            sql += number(rirekiField(r, k));
        }
        sql += " )";
        if (!db.exec(sql)) {
            // Another process storing the same card may have inserted this
            // serial since the count: then the row is there and all is well.
            const std::string reason = db.errmsg();
            count = 0;
            if (db.exec(countSql, exec_callback_count, &count) && count != 0) continue;
            DBErrorMessage = "DB INSERT Rireki exec error: " + reason;
            return false;
        }
    }
    return true;
}

}  // namespace

StoreResult insertRirekiDB(const std::string& path, const CardReadResults& card, std::string& DBErrorMessage) {
    // Nothing to store: no file is made and an existing one is left alone,
    // so no card file without history comes about; every entry left out
    // counts as waiting.
    bool anyEntry = false;
    int unknown = 0;
    for (int i = 0; i < rirekiSlotCount(card.CardKind); ++i) {
        anyEntry = anyEntry || storesSlot(card, i);
        unknown += leftOut(card, i) ? 1 : 0;
    }
    if (!anyEntry) return {true, unknown};

    const bool created = nothingAt(path);
    StoreResult result;
    result.stored = storeRead(path, card, result.waiting, DBErrorMessage);
    if (!result.stored && created) removeFileWithoutHistory(path);
    return result;
}

bool selectCardInfoDB(const std::string& path, CardInfoRecord& record, std::string& DBErrorMessage) {
    // A vanished file is not an error worth a message here: the caller skips it.
    if (nothingAt(path)) return false;

    DbFile db;
    if (!db.open(path, bridge::OpenReadOnly)) {
        DBErrorMessage = "DB open error" + path + (db.refusal().empty() ? "" : ": " + db.refusal());
        return false;
    }
    int32_t count = 0;
    if (!db.exec("SELECT COUNT(*) FROM CardInfo;", exec_callback_count, &count)) {
        DBErrorMessage = "DB COUNT CardInfo exec error: " + db.errmsg();
        return false;
    }
    if (count != 1) {
        DBErrorMessage = "CardInfo record not exist: " + path;
        return false;
    }
    RowTarget<CardInfoRecord> target{record, {}};
    if (!db.exec("SELECT * FROM CardInfo;", exec_callback_CardInfoWithReason, &target)) {
        DBErrorMessage = "DB SELECT CardInfo exec error: " + (target.why.empty() ? db.errmsg() : path + ": " + target.why);
        return false;
    }
    return true;
}

namespace {

// selectRerekiDB, telling "no such transaction" (no file, or not in it) from
// a file that could not be read.
StoredRireki lookUpRireki(const std::string& path, int32_t serial, RirekiInfo& record,
                          std::string& DBErrorMessage) {
    // A link or a device is no "not stored": what it holds is unknown.
    if (nothingAt(path)) {
        DBErrorMessage = "DB not exist: " + path;
        return StoredRireki::NotStored;
    }

    DbFile db;
    if (!db.open(path, bridge::OpenReadOnly)) {
        DBErrorMessage = "DB open error: " + path + (db.refusal().empty() ? "" : ": " + db.refusal());
        return StoredRireki::Unreadable;
    }
    const bool bySerial = serial >= 0;
    int32_t count = 0;
    const std::string countSql = bySerial
        ? "SELECT COUNT(*) FROM Rireki WHERE TorihikiTsuuban = " + number(serial) + ";"
        : std::string("SELECT COUNT(*) FROM Rireki;");
    if (!db.exec(countSql, exec_callback_count, &count)) {
        DBErrorMessage = "DB COUNT Rireki exec error: " + db.errmsg();
        // A file without the table (made by a store that was cut short) holds
        // no transaction; any other failure leaves what it holds unknown.
        int32_t tables = -1;
        const bool noTable =
            db.exec("SELECT COUNT(*) FROM sqlite_master WHERE name = 'Rireki';",
                    exec_callback_count, &tables) &&
            tables == 0;
        return noTable ? StoredRireki::NotStored : StoredRireki::Unreadable;
    }
    if (count == 0) {
        DBErrorMessage = "Rireki record not exist: " + path;
        return StoredRireki::NotStored;
    }
    const std::string selectSql = bySerial
        ? "SELECT * FROM Rireki WHERE TorihikiTsuuban = " + number(serial) + ";"
        : std::string("SELECT * FROM Rireki ORDER BY TorihikiTsuuban DESC LIMIT 1;");
    RowTarget<RirekiInfo> target{record, {}};
    if (!db.exec(selectSql, exec_callback_RirekiWithReason, &target)) {
        DBErrorMessage = "DB SELECT Rireki exec error: " + (target.why.empty() ? db.errmsg() : path + ": " + target.why);
        return StoredRireki::Unreadable;
    }
    return StoredRireki::Found;
}

}  // namespace

bool selectRerekiDB(const std::string& path, int32_t serial, RirekiInfo& record,
                    std::string& DBErrorMessage) {
    return lookUpRireki(path, serial, record, DBErrorMessage) == StoredRireki::Found;
}

CardRirekiLookup storedRirekiLookup(const std::string& programDir) {
    return [programDir](const std::string& cardId, int32_t serial, RirekiInfo& out) {
        const std::string path = cardDbPath(programDir, CardKindSF, cardId);
        std::string message;
        const StoredRireki found = lookUpRireki(path, serial, out, message);
        if (found == StoredRireki::Unreadable) {
            std::fprintf(stderr,
                         "Tovani Viewer: transaction %d of card %s cannot be looked up (%s); "
                         "the entry that needs it is not stored by this read\n",
                         static_cast<int>(serial), cardId.c_str(), message.c_str());
        }
        return found;
    };
}

}  // namespace tovani
