#include "store/test_db.h"

#include <gtest/gtest.h>

#include <fstream>

#include "database/db_access.h"

namespace tovani::test {

std::string runSql(const std::string& path, const std::vector<std::string>& statements) {
    DbFile db;
    if (!db.open(path, bridge::OpenReadWriteCreate)) return "open failed";
    for (const auto& sql : statements) {
        if (!db.exec(sql)) return db.errmsg();
    }
    return "";
}

namespace {
int collectRow(void* user, int n, char** values, char** /*names*/) {
    std::vector<std::string> row;
    for (int i = 0; i < n; ++i) row.emplace_back(values[i] != nullptr ? values[i] : "NULL");
    static_cast<Rows*>(user)->push_back(std::move(row));
    return 0;
}
}  // namespace

Rows query(const std::string& path, const std::string& sql) {
    Rows rows;
    DbFile db;
    if (!db.open(path, bridge::OpenReadOnly)) {
        ADD_FAILURE() << "cannot open " << path;
        return rows;
    }
    if (!db.exec(sql, collectRow, &rows)) ADD_FAILURE() << sql << ": " << db.errmsg();
    return rows;
}

RirekiInfo sfEntry(int32_t serial) {
    RirekiInfo r;
    for (int k = 0; k < RirekiFieldCount; ++k) rirekiField(r, k) = serial * 100 + k;
    r.TorihikiTsuuban = serial;
    r.RiyouKubun = 0x16;  // any non-zero use kind
    return r;
}

CardReadResults sfCard(const std::string& cardId, const std::vector<int32_t>& serials) {
    CardReadResults card;
    card.CardKind = CardKindSF;
    card.CardID = cardId;
    for (size_t i = 0; i < serials.size(); ++i) card.CardRireki.at(i) = sfEntry(serials[i]);
    return card;
}

std::vector<std::string> sfRow(int32_t serial) {
    const RirekiInfo r = sfEntry(serial);
    std::vector<std::string> row;
    for (int k = 0; k < RirekiFieldCount; ++k) row.push_back(std::to_string(rirekiField(r, k)));
    return row;
}

void makeReadOnlyDatabase(const std::string& path) {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    ASSERT_TRUE(f) << path;
    f.seekp(18);
    f.put('\x03');
}

}  // namespace tovani::test
