// The monthly totals view: the engine sums per month and use kind, the row
// callback folds the rows of one month into one table row.

#include <limits>

#include "store/card_store.h"
#include "views/card_display.h"
#include "views/card_views.h"
#include "views/number_format.h"
#include "views/table_layout.h"
#include "views/view_db.h"

namespace tovani {

namespace {

constexpr int kPrepaidColumns = 4;  // month, use kind, sum, count
constexpr int kChargeColumns = 6;   // ... and the charge sum and count (WAON, transit)

bool sumsCharges(int32_t kind) { return kind == CardKindWaon || kind == CardKindSF; }

// A date left empty (SQL NULL) is month 0, as every view reads it, in the
// count of months and in the sums alike: the count sizes the table, so both
// must group the rows the same way.
constexpr const char* kMonthCountSql = "SELECT COUNT(DISTINCT IFNULL(RiyouYmd / 100, 0)) FROM Rireki;";

std::string totalsQuery(int32_t kind) {
    const std::string tail = "FROM Rireki GROUP BY RiyouYm, RiyouKubun ORDER BY RiyouYm DESC, RiyouKubun ASC;";
    if (sumsCharges(kind)) {
        return std::string("SELECT IFNULL(RiyouYmd / 100, 0) AS RiyouYm, RiyouKubun, SUM(Kingaku), "
                           "SUM(CASE WHEN Kingaku > 0 THEN 1 ELSE 0 END), ") +
               "SUM(Charge), SUM(CASE WHEN Charge > 0 THEN 1 ELSE 0 END) " + tail;
    }
    return std::string("SELECT IFNULL(RiyouYmd / 100, 0) AS RiyouYm, RiyouKubun, SUM(Kingaku), COUNT(RiyouKubun) ") +
           tail;
}

// A sum of whole yen as an amount. SQL NULL is the sum of no values (a
// column left empty): 0. A sum that is no whole number means the file holds
// a text or a fraction where whole yen belong: the query stops.
std::optional<Amount> readSum(char** values, char** names, int col, std::string& why) {
    if (values[col] == nullptr) return Amount{};
    const auto yen = viewdb::wholeNumber64(values, names, col, why);
    if (!yen) return std::nullopt;
    auto amount = Amount::fromYenChecked(*yen);
    if (!amount) why = "column " + viewdb::columnName(names, col) + " sums to more than an amount can hold";
    return amount;
}

// Adds to a sum or a count; false when the result would not fit.
bool add(Amount& sum, Amount v, std::string& why) {
    const auto total = sum.plus(v);
    if (!total) {
        why = "a monthly sum exceeds what an amount can hold";
        return false;
    }
    sum = *total;
    return true;
}
bool add(int32_t& count, int32_t v, std::string& why) {
    const int64_t total = int64_t{count} + v;
    if (total < std::numeric_limits<int32_t>::min() || total > std::numeric_limits<int32_t>::max()) {
        why = "a monthly count exceeds 32 bits";
        return false;
    }
    count = static_cast<int32_t>(total);
    return true;
}

// An average over no transactions stays 0.
void computeAverages(SyuukeiInfo& info) {
    if (info.NyuukinKaisuu > 0) info.NyuukinHeikin = info.NyuukinGoukei.dividedBy(info.NyuukinKaisuu).value_or(Amount{});
    if (info.SyukkinKaisuu > 0) info.SyukkinHeikin = info.SyukkinGoukei.dividedBy(info.SyukkinKaisuu).value_or(Amount{});
}

void finishMonth(ViewContext& ctx) {
    computeAverages(ctx.data.Syuukei);
    ++ctx.data.SyuukeiRow;
    setSyuukeiRow(ctx.frmMain.table(), ctx.data.SyuukeiRow, ctx.data.Syuukei);
}

}  // namespace

bool chkNyuukin(int32_t cardKind, int32_t riyouKubun) {
    // Edy and nanaco have exactly one payment code; every other code,
    // listed or not, puts money on the card.
    switch (cardKind) {
        case CardKindEdy: return riyouKubun != 0x20;
        case CardKindNanaco: return riyouKubun != 0x47;
        default: return false;
    }
}

void setSyuukeiGrid(const TextMeasure& frmMain, ResultTable& grdRireki, int32_t count) {
    static constexpr ColumnSpec kColumns[] = {
        {"取引年月", CellAlign::Left, 10},   {"入金合計", CellAlign::Right, 10},
        {"入金回数", CellAlign::Right, 10},  {"入金平均額", CellAlign::Right, 10},
        {"出金合計", CellAlign::Right, 10},  {"出金回数", CellAlign::Right, 10},
        {"出金平均額", CellAlign::Right, 10},
    };
    layoutTable(frmMain, grdRireki, count, "Syuukei", kColumns);
}

void setSyuukeiRow(ResultTable& grdRireki, int32_t row, const SyuukeiInfo& info) {
    grdRireki.setText(row, 0, formatYearMonth(info.RiyouYm));
    grdRireki.setText(row, 1, formatGrouped(info.NyuukinGoukei));
    grdRireki.setText(row, 2, formatGrouped(int64_t{info.NyuukinKaisuu}));
    grdRireki.setText(row, 3, formatGrouped(info.NyuukinHeikin));
    grdRireki.setText(row, 4, formatGrouped(info.SyukkinGoukei));
    grdRireki.setText(row, 5, formatGrouped(int64_t{info.SyukkinKaisuu}));
    grdRireki.setText(row, 6, formatGrouped(info.SyukkinHeikin));
}

int exec_callback_Zandaka(void* user, int columnCount, char** values, char** names) {
    auto& query = *static_cast<ViewQuery*>(user);
    if (++query.Counter != 1) return viewdb::kGoOn;
    RirekiInfo newest;
    if (!readRirekiRow(newest, columnCount, values, names, query.failure)) return viewdb::kStop;
    query.ctx->frmMain.setCardLabel(CardLabel::Zandaka, balanceLabel(newest.Zangaku));
    return viewdb::kGoOn;
}

int exec_callback_Syuukei(void* user, int columnCount, char** values, char** names) {
    auto& query = *static_cast<ViewQuery*>(user);
    ViewContext& ctx = *query.ctx;
    SyuukeiInfo& info = ctx.data.Syuukei;
    const int32_t r = ++query.Counter;
    const bool charges = sumsCharges(ctx.card.CardKind);
    const int needed = charges ? kChargeColumns : kPrepaidColumns;
    if (columnCount < needed) {
        query.failure = "the totals query gave " + std::to_string(columnCount) + " columns, " +
                        std::to_string(needed) + " expected";
        return viewdb::kStop;
    }

    // Read the whole row first: a value that is no number stops the query
    // before the month is touched.
    std::string& why = query.failure;
    const auto month = viewdb::fieldNumber(values, names, 0, why);
    if (!month) return viewdb::kStop;
    const auto kubun = viewdb::fieldNumber(values, names, 1, why);
    if (!kubun) return viewdb::kStop;
    const auto kingaku = readSum(values, names, 2, why);
    if (!kingaku) return viewdb::kStop;
    const auto kingakuCount = viewdb::fieldNumber(values, names, 3, why);
    if (!kingakuCount) return viewdb::kStop;
    std::optional<Amount> charge = Amount{};
    std::optional<int32_t> chargeCount = 0;
    if (charges) {
        charge = readSum(values, names, 4, why);
        if (!charge) return viewdb::kStop;
        chargeCount = viewdb::fieldNumber(values, names, 5, why);
        if (!chargeCount) return viewdb::kStop;
    }

    if (r == 1) ctx.data.SyuukeiRow = 0;
    bool startMonth = r == 1;
    if (r > 1 && *month != info.RiyouYm) {
        finishMonth(ctx);
        startMonth = true;
    }
    if (startMonth) {
        info = SyuukeiInfo{};
        info.RiyouYm = *month;
    }

    bool ok = true;
    if (charges) {
        // The use kind plays no part: a transaction with both a charge and an
        // amount counts on both sides.
        ok = add(info.NyuukinGoukei, *charge, why) && add(info.NyuukinKaisuu, *chargeCount, why) &&
             add(info.SyukkinGoukei, *kingaku, why) && add(info.SyukkinKaisuu, *kingakuCount, why);
    } else if (chkNyuukin(ctx.card.CardKind, *kubun)) {
        ok = add(info.NyuukinGoukei, *kingaku, why) && add(info.NyuukinKaisuu, *kingakuCount, why);
    } else {
        ok = add(info.SyukkinGoukei, *kingaku, why) && add(info.SyukkinKaisuu, *kingakuCount, why);
    }
    return ok ? viewdb::kGoOn : viewdb::kStop;
}

bool viewSyuukeiDB(const std::string& path, ViewContext& ctx) {
    viewdb::ViewedFile file;  // closed on every way out
    if (!viewdb::openViewedFile(path, ctx, file)) return false;
    DbFile& db = file.db;

    // The query follows the kind just read from the file.
    const std::string sql = totalsQuery(ctx.card.CardKind);

    int32_t months = 0;
    if (!db.exec(kMonthCountSql, exec_callback_count, &months)) {
        ctx.DBErrorMessage = "DB COUNT Rireki exec error: " + db.errmsg();
        return false;
    }
    ResultTable& grid = ctx.frmMain.table();
    if (months <= 0) {
        setSyuukeiGrid(ctx.frmMain, grid, 1);
        ctx.frmMain.setCardLabel(CardLabel::Zandaka, "残高：0");
        return true;
    }
    setSyuukeiGrid(ctx.frmMain, grid, months);

    ViewQuery newest{0, &ctx, {}};
    if (!db.exec("SELECT * FROM Rireki ORDER BY TorihikiTsuuban DESC LIMIT 1;", exec_callback_Zandaka, &newest)) {
        ctx.DBErrorMessage = viewdb::stepFailure("DB SELECT Zandaka exec error: ", newest, db);
        return false;
    }

    ViewQuery totals{0, &ctx, {}};
    if (!db.exec(sql, exec_callback_Syuukei, &totals)) {
        ctx.DBErrorMessage = viewdb::stepFailure("DB SELECT Syuukei exec error: ", totals, db);
        return false;
    }
    // The last month has no following row to finish it; the previous view's
    // month is never written.
    if (totals.Counter > 0) finishMonth(ctx);
    return true;
}

}  // namespace tovani
