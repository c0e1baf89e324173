// The balance overview of all card files, and the three buttons that start
// the views.

#include "store/card_store.h"
#include "store/db_files.h"
#include "views/card_display.h"
#include "views/card_views.h"
#include "views/number_format.h"
#include "views/table_layout.h"

namespace tovani {

std::string cardKindName(int32_t cardKind) {
    switch (cardKind) {
        case CardKindEdy: return "Edy";
        case CardKindNanaco: return "nanaco";
        case CardKindWaon: return "WAON";
        case CardKindSF: return "Suica/ICOCA等";
        default: return std::string();
    }
}

void sortZandaka(std::vector<ZandakaInfo>& CardZandaka) {
    // An exchange sort that moves an entry only past a smaller balance, so
    // cards with equal balances keep the order of the file list.
    const size_t n = CardZandaka.empty() ? 0 : CardZandaka.size() - 1;
    for (size_t i = 2; i <= n; ++i) {
        for (size_t j = n; j >= i; --j) {
            if (CardZandaka[j].Zangaku > CardZandaka[j - 1].Zangaku) std::swap(CardZandaka[j], CardZandaka[j - 1]);
        }
    }
}

void setZandakaGrid(const TextMeasure& frmMain, ResultTable& grdRireki, int32_t count) {
    static constexpr ColumnSpec kColumns[] = {
        {"カード種類", CellAlign::Left, 15},
        {"カード番号", CellAlign::Left, 25},
        {"最終取引年月日", CellAlign::Left, 15},
        {"残高", CellAlign::Right, 10},
    };
    layoutTable(frmMain, grdRireki, count, "Zandaka", kColumns);
}

void setZandakaRow(ResultTable& grdRireki, int32_t row, const ZandakaInfo& info) {
    grdRireki.setText(row, 0, cardKindName(info.CardKind));
    grdRireki.setText(row, 1, info.CardID);
    grdRireki.setText(row, 2, formatDate(info.RiyouYmd));
    grdRireki.setText(row, 3, formatGrouped(int64_t{info.Zangaku}));
}

namespace {

// Reads one card file into the overview's list; false with DBErrorMessage set.
bool readCardBalance(const std::string& path, ViewContext& ctx) {
    RirekiInfo newest;
    if (!selectRerekiDB(path, -1, newest, ctx.DBErrorMessage)) return false;
    CardInfoRecord info;
    std::string why;
    if (!selectCardInfoDB(path, info, why)) {
        // The reader says nothing of a file that is gone; it was there a
        // moment ago, so say so rather than show an old or empty text.
        ctx.DBErrorMessage = why.empty() ? "DB not exist: " + path : why;
        return false;
    }
    ctx.data.CardZandaka.push_back(ZandakaInfo{info.CardKind, info.CardID, newest.RiyouYmd, newest.Zangaku});
    return true;
}

using ViewRoutine = bool (*)(const std::string& path, ViewContext& ctx);

// Steps 3 to 7 of the two file views' buttons.
bool runFileView(ViewContext& ctx, const std::string& path, const char* waiting, const char* done,
                 ViewRoutine view) {
    ctx.frmMain.setMessage(waiting, ColourBlue);
    ctx.frmMain.lockControls();
    const bool shown = view(path, ctx);
    ctx.SortAscending = false;
    ctx.frmMain.unlockControls();
    if (shown) {
        ctx.frmMain.setMessage(done, ColourBlue);
    } else {
        // The message line keeps the waiting text.
        ctx.frmMain.showMessageBox(ctx.DBErrorMessage);
    }
    return shown;
}

}  // namespace

bool showRirekiFile(ViewContext& ctx, const std::string& path) {
    return runFileView(ctx, path, "履歴情報を読み込んでいます。しばらくお待ちください。", HistoryShownMessage,
                       viewRirekiDB);
}

bool showSyuukeiFile(ViewContext& ctx, const std::string& path) {
    return runFileView(ctx, path, "月別集計情報を読み込んでいます。しばらくお待ちください。",
                       "月別集計情報を表示しました。", viewSyuukeiDB);
}

bool cmdRirekiHyouji_Click(ViewContext& ctx, const std::string& programDir,
                           const std::optional<std::string>& selectedEntry) {
    return selectedEntry && showRirekiFile(ctx, rirekiFilePath(programDir, *selectedEntry));
}

bool cmdSyuukei_Click(ViewContext& ctx, const std::string& programDir,
                      const std::optional<std::string>& selectedEntry) {
    return selectedEntry && showSyuukeiFile(ctx, rirekiFilePath(programDir, *selectedEntry));
}

bool cmdZandaka_Click(ViewContext& ctx, const std::string& programDir, const std::vector<std::string>& fileEntries) {
    if (fileEntries.empty()) return true;
    ctx.frmMain.setMessage("カード残高を読み込んでいます。しばらくお待ちください。", ColourBlue);
    ctx.frmMain.lockControls();

    auto& cards = ctx.data.CardZandaka;
    cards.assign(1, ZandakaInfo{});
    for (const std::string& entry : fileEntries) {
        if (!readCardBalance(rirekiFilePath(programDir, entry), ctx)) {
            // Nothing of the cards read so far is shown.
            ctx.frmMain.showMessageBox(ctx.DBErrorMessage);
            ctx.frmMain.unlockControls();
            return false;
        }
    }

    sortZandaka(cards);
    const auto n = static_cast<int32_t>(cards.size() - 1);
    ResultTable& grid = ctx.frmMain.table();
    setZandakaGrid(ctx.frmMain, grid, n);
    Amount total;
    for (int32_t i = 1; i <= n; ++i) {
        setZandakaRow(grid, i, cards[static_cast<size_t>(i)]);
        total += Amount::fromYen(cards[static_cast<size_t>(i)].Zangaku);
    }
    ctx.frmMain.setCardLabel(CardLabel::CardID, "カード枚数：" + std::to_string(n) + " 枚");
    ctx.frmMain.setCardLabel(CardLabel::Zandaka, "残高合計：" + formatGrouped(total) + " 円");
    ctx.frmMain.setCardLabel(CardLabel::SakuseiYmd, std::string());
    ctx.SortAscending = false;
    ctx.frmMain.setMessage("カード残高を表示しました。", ColourBlue);
    ctx.frmMain.unlockControls();
    return true;
}

}  // namespace tovani
