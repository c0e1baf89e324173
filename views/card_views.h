#pragma once

// The three views of stored card files: the whole history of one file, its
// totals per month, and the balances of all card files. Each writes through
// the window surface (ViewHost), so the window and the command-line tool show
// the same texts. Failures leave their text in DBErrorMessage.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cards/card_data.h"
#include "views/amount.h"
#include "views/rireki_rows.h"
#include "views/view_host.h"

namespace tovani {

// One month of the totals view.
struct SyuukeiInfo {
    int32_t RiyouYm = 0;  // YYYYMM
    Amount NyuukinGoukei;
    int32_t NyuukinKaisuu = 0;
    Amount NyuukinHeikin;
    Amount SyukkinGoukei;
    int32_t SyukkinKaisuu = 0;
    Amount SyukkinHeikin;
};

// One card of the balance overview.
struct ZandakaInfo {
    int32_t CardKind = 0;
    std::string CardID;
    int32_t RiyouYmd = 0;
    int32_t Zangaku = 0;
};

// The views' own values; the window owns one for its lifetime.
struct ViewData {
    SyuukeiInfo Syuukei;   // the month being summed
    int32_t SyuukeiRow = 0;  // table row written last by the totals view
    // Position 0 is never filled or shown; positions 1..n hold one card each.
    std::vector<ZandakaInfo> CardZandaka{ZandakaInfo{}};
};

// Everything a view reads or changes, handed by reference: the window (table,
// card labels, message line, lock, message box, text widths), the values of
// the card on show (CardKind, CardID, HakkouYmd), the station names, the
// failure text, the direction of the next sort and the views' own values.
struct ViewContext {
    ViewHost& frmMain;
    CardReadResults& card;
    NameLookup& names;
    std::string& DBErrorMessage;
    bool& SortAscending;
    ViewData& data;
};

// Card file of a file-list entry: programDir + "/RirekiDB/" + entry.
std::string rirekiFilePath(const std::string& programDir, const std::string& entry);

// --- History view ---------------------------------------------------------

// The whole stored history of the card file at path, newest first. Only an
// existing file is opened; nothing is ever created.
bool viewRirekiDB(const std::string& path, ViewContext& ctx);

// Row callbacks of the history and totals views. The user argument is a
// ViewQuery; a value that is no number where one belongs stops the query and
// leaves the reason in the ViewQuery.
struct ViewQuery {
    int32_t Counter = 0;  // 1-based number of the row being handled
    ViewContext* ctx = nullptr;
    std::string failure;  // why the callback stopped the query, "" if it did not
};
int exec_callback_CardInfoView(void* user, int columnCount, char** values, char** names);
int exec_callback_RirekiView(void* user, int columnCount, char** values, char** names);

// --- Monthly totals view --------------------------------------------------

// Deposit (true) or payment for a use kind of a card of the given kind.
bool chkNyuukin(int32_t cardKind, int32_t riyouKubun);

void setSyuukeiGrid(const TextMeasure& frmMain, ResultTable& grdRireki, int32_t count);
void setSyuukeiRow(ResultTable& grdRireki, int32_t row, const SyuukeiInfo& info);

bool viewSyuukeiDB(const std::string& path, ViewContext& ctx);

int exec_callback_Zandaka(void* user, int columnCount, char** values, char** names);
int exec_callback_Syuukei(void* user, int columnCount, char** values, char** names);

// --- Balance overview -----------------------------------------------------

// Card family names of the overview's first column ("" for other kinds).
std::string cardKindName(int32_t cardKind);

// Orders positions 1..n by Zangaku, largest first; equal balances keep their
// order.
void sortZandaka(std::vector<ZandakaInfo>& CardZandaka);

void setZandakaGrid(const TextMeasure& frmMain, ResultTable& grdRireki, int32_t count);
void setZandakaRow(ResultTable& grdRireki, int32_t row, const ZandakaInfo& info);

// --- The buttons ----------------------------------------------------------

// cmdRirekiHyouji and cmdSyuukei: the file-list entry selected (none: nothing
// happens). True when the view was shown; false after a failure (message box
// shown) or when nothing was selected.
bool cmdRirekiHyouji_Click(ViewContext& ctx, const std::string& programDir,
                           const std::optional<std::string>& selectedEntry);
bool cmdSyuukei_Click(ViewContext& ctx, const std::string& programDir,
                      const std::optional<std::string>& selectedEntry);

// What those two buttons do once they have a path: waiting text, lock, the
// view, SortAscending false, unlock, then the completion text or the message
// box with DBErrorMessage.
bool showRirekiFile(ViewContext& ctx, const std::string& path);
bool showSyuukeiFile(ViewContext& ctx, const std::string& path);

// cmdZandaka, and the overview at start-up: every entry of the file list in
// list order. An empty list does nothing and counts as success.
bool cmdZandaka_Click(ViewContext& ctx, const std::string& programDir,
                      const std::vector<std::string>& fileEntries);

}  // namespace tovani
