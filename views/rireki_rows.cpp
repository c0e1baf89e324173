#include "views/rireki_rows.h"

#include <array>
#include <cstdio>
#include <vector>

#include "cards/sf_codes.h"
#include "views/number_format.h"
#include "views/table_layout.h"

namespace tovani {

namespace {

constexpr std::array<ColumnSpec, 6> kPrepaidColumns = {{
    {"取引通番", CellAlign::Right, 10},
    {"取引日時", CellAlign::Left, 20},
    {"利用区分", CellAlign::Left, 15},
    {"入金", CellAlign::Right, 10},
    {"出金", CellAlign::Right, 10},
    {"残高", CellAlign::Right, 10},
}};

constexpr std::array<ColumnSpec, 8> kTransitColumns = {{
    {"取引通番", CellAlign::Right, 10},
    {"取引日時", CellAlign::Left, 20},
    {"利用区分", CellAlign::Left, 15},
    {"入場駅/事業者", CellAlign::Left, 14},
    {"出場駅/停留所", CellAlign::Left, 14},
    {"入金", CellAlign::Right, 10},
    {"出金", CellAlign::Right, 10},
    {"残高", CellAlign::Right, 10},
}};

struct PrepaidKind {
    int32_t cardKind;
    int32_t code;
    const char* name;
    bool deposit;
};

constexpr std::array<PrepaidKind, 11> kPrepaidKinds = {{
    {CardKindEdy, 0x02, "チャージ", true},
    {CardKindEdy, 0x04, "バリューチャージ", true},
    {CardKindEdy, 0x20, "支払い", false},
    {CardKindNanaco, 0x35, "引継", true},
    {CardKindNanaco, 0x47, "支払い", false},
    {CardKindNanaco, 0x6F, "チャージ", true},
    {CardKindNanaco, 0x70, "チャージ", true},
    {CardKindNanaco, 0x83, "ポイント交換によるチャージ", true},
    {CardKindWaon, 0x04, "支払い", false},
    {CardKindWaon, 0x0C, "チャージ", true},
    {CardKindWaon, 0x10, "チャージ", true},
}};

// Upper-case hexadecimal without leading zeros; a negative value shows its
// 32-bit two's complement, as the platform's hex text did.
std::string upperHex(int32_t v) {
    char buf[9];
    std::snprintf(buf, sizeof buf, "%X", static_cast<uint32_t>(v));
    return buf;
}

std::vector<std::string> splitAtComma(const std::string& text) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return parts;
}

void writePlaces(ResultTable& table, int row, const RirekiInfo& e, SFCategory category,
                 NameLookup& names) {
    switch (category) {
    case SFCategoryShop:
        table.setText(row, 3, "");
        table.setText(row, 4, "端末ID:" + upperHex(e.SyutujouCD));
        break;
    case SFCategoryBus: {
        // A stop is the pair of 16-bit codes: entry code above, exit code below.
        const uint32_t code = ((static_cast<uint32_t>(e.NyuujouCD) & 0xFFFF) << 16) |
                              (static_cast<uint32_t>(e.SyutujouCD) & 0xFFFF);
        const std::vector<std::string> parts = splitAtComma(names.busStop(static_cast<int32_t>(code)));
        if (parts.size() >= 2) {
            table.setText(row, 3, parts[1]);  // operator
            table.setText(row, 4, parts[0]);  // stop
        }
        break;
    }
    default: {
        // Bits 6-7 (entry) and 4-5 (exit) of the region byte become bits
        // 16-17 of the station code.
        const int32_t chiiki = e.Chiiki;
        if (e.NyuujouCD == 0) {
            table.setText(row, 3, "");
        } else {
            table.setText(row, 3, names.station(((chiiki & 0xC0) * 0x400) | e.NyuujouCD));
        }
        if (e.SyutujouCD == 0) {
            table.setText(row, 4, "");
        } else {
            table.setText(row, 4, names.station(((chiiki & 0x30) * 0x1000) | e.SyutujouCD));
        }
        break;
    }
    }
}

// The amount of the transaction's direction always shows, 0 included; the
// other one only when it is not 0.
void writeTwoAmounts(ResultTable& table, int row, int firstCol, bool deposit, const RirekiInfo& e) {
    table.setText(row, firstCol, deposit ? formatGrouped(e.Charge) : formatGroupedOrEmpty(e.Charge));
    table.setText(row, firstCol + 1,
                  deposit ? formatGroupedOrEmpty(e.Kingaku) : formatGrouped(e.Kingaku));
    table.setText(row, firstCol + 2, formatGrouped(e.Zangaku));
}

}  // namespace

void setRirekiGrid(const TextMeasure& font, ResultTable& table, int32_t dataRows, int32_t CardKind) {
    if (CardKind == CardKindSF) {
        layoutTable(font, table, dataRows, "Rireki", kTransitColumns);
    } else {
        layoutTable(font, table, dataRows, "Rireki", kPrepaidColumns);
    }
}

UseKindText prepaidUseKind(int32_t CardKind, int32_t RiyouKubun) {
    if (CardKind != CardKindEdy && CardKind != CardKindNanaco && CardKind != CardKindWaon) {
        return {"", false};
    }
    for (const PrepaidKind& k : kPrepaidKinds) {
        if (k.cardKind == CardKind && k.code == RiyouKubun) return {k.name, k.deposit};
    }
    return {"不明コード(0x" + upperHex(RiyouKubun) + ")", true};
}

void setRirekiRow(ResultTable& table, int row, const RirekiInfo& e, int32_t CardKind,
                  NameLookup& names) {
    const bool transit = CardKind == CardKindSF;

    // Name, direction and (transit) category first: the date format depends
    // on the category.
    UseKindText kind;
    SFCategory category = SFCategoryRail;
    if (transit) {
        bool charge = false;  // riyouKubunName leaves it alone for code 0
        kind.name = riyouKubunName(e.RiyouKubun, charge, category);
        kind.deposit = charge;
    } else {
        kind = prepaidUseKind(CardKind, e.RiyouKubun);
    }

    table.setText(row, 0, std::to_string(e.TorihikiTsuuban));
    // Rides carry no time of day; shop sales and prepaid cards do.
    if (transit && category != SFCategoryShop) {
        table.setText(row, 1, formatDate(e.RiyouYmd));
    } else {
        table.setText(row, 1, formatDateTime(e.RiyouYmd, e.RiyouHms));
    }
    table.setText(row, 2, kind.name);

    if (transit) {
        writePlaces(table, row, e, category, names);
        writeTwoAmounts(table, row, 5, kind.deposit, e);
    } else if (CardKind == CardKindWaon) {
        writeTwoAmounts(table, row, 3, kind.deposit, e);
    } else {
        table.setText(row, 3, kind.deposit ? formatGrouped(e.Kingaku) : std::string());
        table.setText(row, 4, kind.deposit ? std::string() : formatGrouped(e.Kingaku));
        table.setText(row, 5, formatGrouped(e.Zangaku));
    }
}

}  // namespace tovani
