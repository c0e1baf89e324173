// The history view of one card file, and the opening sequence of a viewed
// file that the totals view repeats.

#include <limits>

#include "store/card_store.h"
#include "store/db_files.h"
#include "views/card_display.h"
#include "views/card_views.h"
#include "views/view_db.h"

namespace tovani {

namespace viewdb {

std::string columnName(char** names, int col) {
    if (names != nullptr && names[col] != nullptr) return utf8ToString(names[col], -1);
    return "column " + std::to_string(col + 1);
}

namespace {

std::optional<int64_t> readWhole(char** values, char** names, int col, int64_t lo, int64_t hi,
                                 const char* what, std::string& why) {
    const char* text = values[col];
    if (text == nullptr) {
        why = "column " + columnName(names, col) + " holds no value where " + what + " belongs";
        return std::nullopt;
    }
    auto v = wholeNumberValue(text, lo, hi);
    if (!v) {
        why = "column " + columnName(names, col) + " holds \"" + utf8ToString(text, -1) + "\" where " + what +
              " belongs";
    }
    return v;
}

}  // namespace

std::optional<int32_t> wholeNumber(char** values, char** names, int col, std::string& why) {
    auto v = readWhole(values, names, col, std::numeric_limits<int32_t>::min(),
                       std::numeric_limits<int32_t>::max(), "a whole number", why);
    if (!v) return std::nullopt;
    return static_cast<int32_t>(*v);
}

std::optional<int32_t> fieldNumber(char** values, char** names, int col, std::string& why) {
    if (values[col] == nullptr) return 0;
    return wholeNumber(values, names, col, why);
}

std::optional<int64_t> wholeNumber64(char** values, char** names, int col, std::string& why) {
    return readWhole(values, names, col, std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max(),
                     "a whole number", why);
}

std::string stepFailure(const std::string& prefix, const ViewQuery& query, const DbFile& db) {
    return prefix + (query.failure.empty() ? db.errmsg() : query.failure);
}

bool openViewedFile(const std::string& path, ViewContext& ctx, DbFile& db) {
    // The table statements follow the kind shown last, before the file is read.
    const std::string statements[] = {createCardInfoSql(), createRirekiSql(ctx.card.CardKind)};

    // A file that is listed but has gone is not made anew: an empty card file
    // left behind would break the balance overview from then on.
    if (!fileExists(path) || !db.open(path, bridge::OpenReadWrite)) {
        ctx.DBErrorMessage = "DB open error";
        return false;
    }

    // A failing table statement does not stop the view; the queries below
    // report what is wrong with the file.
    for (const std::string& sql : statements) {
        if (!db.exec(sql)) ctx.DBErrorMessage = "DB CREATE TABLE exec error: " + db.errmsg();
    }

    int32_t count = 0;
    if (!db.exec("SELECT COUNT(*) FROM CardInfo;", exec_callback_count, &count)) {
        ctx.DBErrorMessage = "DB COUNT CardInfo exec error: " + db.errmsg();
        return false;
    }
    if (count != 1) {
        ctx.DBErrorMessage = "DB CardInfo 未登録 error ";
        return false;
    }

    ViewQuery query{0, &ctx, {}};
    if (!db.exec("SELECT * FROM CardInfo;", exec_callback_CardInfoView, &query)) {
        ctx.DBErrorMessage = stepFailure("DB SELECT CardInfo exec error: ", query, db);
        return false;
    }
    return true;
}

}  // namespace viewdb

std::string rirekiFilePath(const std::string& programDir, const std::string& entry) {
    return rirekiFolder(programDir) + "/" + entry;
}

namespace {

constexpr int kCardInfoColumns = 3;
constexpr int kRirekiBaseColumns = 6;  // TorihikiTsuuban .. Zangaku: every card file has them

}  // namespace

int exec_callback_CardInfoView(void* user, int columnCount, char** values, char** names) {
    auto& query = *static_cast<ViewQuery*>(user);
    ViewContext& ctx = *query.ctx;
    ++query.Counter;
    if (columnCount < kCardInfoColumns) {
        query.failure = "CardInfo has " + std::to_string(columnCount) + " columns, " +
                        std::to_string(kCardInfoColumns) + " expected";
        return viewdb::kStop;
    }
    // Every value is checked before anything is changed, so a damaged row
    // leaves the labels and the card values as they were.
    const auto kind = viewdb::fieldNumber(values, names, 0, query.failure);
    if (!kind) return viewdb::kStop;
    const bool hasIssueDate = *kind != CardKindSF && *kind != CardKindWaon;
    int32_t issued = 0;
    if (hasIssueDate) {
        const auto d = viewdb::fieldNumber(values, names, 2, query.failure);
        if (!d) return viewdb::kStop;
        issued = *d;
    }

    ctx.card.CardKind = *kind;
    const std::string cardId = utf8ToString(values[1], -1);
    if (const std::string caption = cardNumberCaption(*kind); !caption.empty())
        ctx.frmMain.setCardLabel(CardLabel::CardID, caption + cardId);
    ctx.card.CardID = cardId;
    // Transit and WAON cards have no issue date, whatever the file holds.
    ctx.frmMain.setCardLabel(CardLabel::SakuseiYmd, issueDateLabel(*kind, issued));
    ctx.card.HakkouYmd = issued;
    return viewdb::kGoOn;
}

int exec_callback_RirekiView(void* user, int columnCount, char** values, char** names) {
    auto& query = *static_cast<ViewQuery*>(user);
    ViewContext& ctx = *query.ctx;
    const int32_t r = ++query.Counter;
    if (columnCount < kRirekiBaseColumns) {
        query.failure = "Rireki has " + std::to_string(columnCount) + " columns, at least " +
                        std::to_string(kRirekiBaseColumns) + " expected";
        return viewdb::kStop;
    }
    // Fields past the file's columns stay 0: an Edy file has no Charge, a
    // WAON file no transit codes.
    RirekiInfo record;
    const int n = columnCount < RirekiFieldCount ? columnCount : RirekiFieldCount;
    for (int k = 0; k < n; ++k) {
        const auto v = viewdb::fieldNumber(values, names, k, query.failure);
        if (!v) {
            query.failure = "row " + std::to_string(r) + ": " + query.failure;
            return viewdb::kStop;
        }
        rirekiField(record, k) = *v;
    }
    if (r == 1) ctx.frmMain.setCardLabel(CardLabel::Zandaka, balanceLabel(record.Zangaku));
    setRirekiRow(ctx.frmMain.table(), r, record, ctx.card.CardKind, ctx.names);
    return viewdb::kGoOn;
}

bool viewRirekiDB(const std::string& path, ViewContext& ctx) {
    DbFile db;  // closed on every way out
    if (!viewdb::openViewedFile(path, ctx, db)) return false;

    int32_t count = 0;
    if (!db.exec("SELECT COUNT(*) FROM Rireki;", exec_callback_count, &count)) {
        ctx.DBErrorMessage = "DB COUNT Rireki exec error: " + db.errmsg();
        return false;
    }
    // The layout follows the kind just read from the file.
    ResultTable& grid = ctx.frmMain.table();
    if (count <= 0) {
        setRirekiGrid(ctx.frmMain, grid, 1, ctx.card.CardKind);
        ctx.frmMain.setCardLabel(CardLabel::Zandaka, "残高：0");
        return true;
    }
    setRirekiGrid(ctx.frmMain, grid, count, ctx.card.CardKind);
    ViewQuery query{0, &ctx, {}};
    if (!db.exec("SELECT * FROM Rireki ORDER BY TorihikiTsuuban DESC;", exec_callback_RirekiView, &query)) {
        ctx.DBErrorMessage = viewdb::stepFailure("DB SELECT Rireki exec error: ", query, db);
        return false;
    }
    return true;
}

}  // namespace tovani
