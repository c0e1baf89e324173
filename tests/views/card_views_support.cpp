#include "views/card_views_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <utility>

#include "store/card_store.h"
#include "views/rireki_rows.h"

namespace tovani::test {

RirekiInfo entry(int32_t serial, int32_t kubun, int32_t ymd, int32_t hms, int32_t kingaku, int32_t zangaku,
                 int32_t charge) {
    RirekiInfo r;
    r.TorihikiTsuuban = serial;
    r.RiyouKubun = kubun;
    r.RiyouYmd = ymd;
    r.RiyouHms = hms;
    r.Kingaku = kingaku;
    r.Zangaku = zangaku;
    r.Charge = charge;
    return r;
}

std::vector<std::string> edyFile(const std::vector<std::string>& more) {
    std::vector<std::string> sql = {
        "CREATE TABLE CardInfo ( CardKind INTEGER, CardID TEXT, HakkouYmd INTEGER );",
        "CREATE TABLE Rireki ( TorihikiTsuuban INTEGER PRIMARY KEY, RiyouKubun INTEGER, RiyouYmd INTEGER, RiyouHms "
        "INTEGER, Kingaku INTEGER, Zangaku INTEGER );",
    };
    sql.insert(sql.end(), more.begin(), more.end());
    return sql;
}

void storeCard(const std::string& path, int32_t kind, const std::string& cardId, int32_t hakkouYmd,
               const std::vector<RirekiInfo>& entries) {
    const size_t slots = static_cast<size_t>(std::max(rirekiSlotCount(kind), 1));
    size_t i = 0;
    do {
        CardReadResults read;
        read.CardKind = kind;
        read.CardID = cardId;
        read.HakkouYmd = hakkouYmd;
        for (size_t s = 0; s < slots && i < entries.size(); ++s, ++i) read.CardRireki.at(s) = entries[i];
        std::string error;
        ASSERT_TRUE(insertRirekiDB(path, read, error)) << error;
    } while (i < entries.size());
}

Table cells(const ResultTable& table) {
    Table out;
    for (int r = 0; r < table.rows(); ++r) {
        out.emplace_back();
        for (int c = 0; c < table.cols(); ++c) out.back().push_back(table.text(r, c));
    }
    return out;
}

int HookedViewHost::textWidthTwips(const std::string& utf8) const {
    if (auto hook = std::exchange(onNextMeasure, nullptr)) hook();
    return PlainViewHost::textWidthTwips(utf8);
}

ViewsWorld::ViewsWorld() {
    std::filesystem::create_directories(dir / "RirekiDB");
    setRirekiGrid(host, host.table(), 1, card.CardKind);
}

}  // namespace tovani::test
