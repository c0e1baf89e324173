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

std::optional<int32_t> fieldNumber(char** values, char** names, int col, std::string& why) {
    if (values[col] == nullptr) return 0;
    auto v = readWhole(values, names, col, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(),
                       "a whole number", why);
    if (!v) return std::nullopt;
    return static_cast<int32_t>(*v);
}

std::optional<int64_t> wholeNumber64(char** values, char** names, int col, std::string& why) {
    return readWhole(values, names, col, std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max(),
                     "a whole number", why);
}

std::string stepFailure(const std::string& prefix, const ViewQuery& query, const DbFile& db) {
    return prefix + (query.failure.empty() ? db.errmsg() : query.failure);
}

bool openViewedFile(const std::string& path, ViewContext& ctx, ViewedFile& file) {
    // Read-only: a view never changes a file. A listed file that has gone is
    // not made anew, and a file without the tables (left by a store that was
    // cut short, or no card file at all) is not given any, which would make
    // its card impossible to store.
    DbFile& db = file.db;
    if (nothingAt(path) || !db.open(path, bridge::OpenReadOnly)) {
        ctx.DBErrorMessage = "DB open error" + db.refusalNote(path);
        return false;
    }
    if (!db.exec("BEGIN;")) {
        ctx.DBErrorMessage = "DB BEGIN exec error: " + db.errmsg();
        return false;
    }
    file.inTransaction_ = true;

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

int exec_callback_CardInfoView(void* user, int columnCount, char** values, char** names) {
    auto& query = *static_cast<ViewQuery*>(user);
    ViewContext& ctx = *query.ctx;
    ++query.Counter;
    // The whole row is read before anything is shown, so a damaged row
    // leaves the labels and the card values as they were.
    CardInfoRecord info;
    if (!readCardInfoRow(info, columnCount, values, names, query.failure)) return viewdb::kStop;

    ctx.card.CardKind = info.CardKind;
    if (const std::string caption = cardNumberCaption(info.CardKind); !caption.empty())
        ctx.frmMain.setCardLabel(CardLabel::CardID, caption + info.CardID);
    ctx.card.CardID = info.CardID;
    ctx.frmMain.setCardLabel(CardLabel::SakuseiYmd, issueDateLabel(info.CardKind, info.HakkouYmd));
    ctx.card.HakkouYmd = info.HakkouYmd;
    return viewdb::kGoOn;
}

int exec_callback_RirekiView(void* user, int columnCount, char** values, char** names) {
    auto& query = *static_cast<ViewQuery*>(user);
    ViewContext& ctx = *query.ctx;
    const int32_t r = ++query.Counter;
    // A fresh record: fields past the file's columns stay 0.
    RirekiInfo record;
    if (!readRirekiRow(record, columnCount, values, names, query.failure)) {
        query.failure = "row " + std::to_string(r) + ": " + query.failure;
        return viewdb::kStop;
    }
    if (r == 1) ctx.frmMain.setCardLabel(CardLabel::Zandaka, balanceLabel(record.Zangaku));
    setRirekiRow(ctx.frmMain.table(), r, record, ctx.card.CardKind, ctx.names);
    return viewdb::kGoOn;
}

bool viewRirekiDB(const std::string& path, ViewContext& ctx) {
    viewdb::ViewedFile file;  // closed on every way out
    if (!viewdb::openViewedFile(path, ctx, file)) return false;
    DbFile& db = file.db;

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
