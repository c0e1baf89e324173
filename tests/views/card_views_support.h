#pragma once

// A program folder with card files made by the store, and a window without a
// screen to run the views in.

#include <functional>
#include <string>
#include <vector>

#include "cards/card_data.h"
#include "names/station_lookup.h"
#include "support/temp_dir.h"
#include "views/card_views.h"
#include "views/plain_view_host.h"

namespace tovani::test {

using Table = std::vector<std::vector<std::string>>;

// One history entry of a prepaid card (fields past Charge 0).
RirekiInfo entry(int32_t serial, int32_t kubun, int32_t ymd, int32_t hms, int32_t kingaku, int32_t zangaku,
                 int32_t charge = 0);

// The statements that make the two tables of an Edy card file by hand (as
// another program might have), the CardInfo table first, then `more`.
std::vector<std::string> edyFile(const std::vector<std::string>& more);

// Stores the entries as the window does after card reads: as many reads as
// the family's slot count needs. Fails the test when the store fails.
void storeCard(const std::string& path, int32_t kind, const std::string& cardId, int32_t hakkouYmd,
               const std::vector<RirekiInfo>& entries);

// Every cell of the table, row by row, the header row first.
Table cells(const ResultTable& table);

// The window without a screen, with a hook run once at its next text
// measure: the file views measure the table's header texts after counting
// the rows and before reading them.
struct HookedViewHost : PlainViewHost {
    int textWidthTwips(const std::string& utf8) const override;
    mutable std::function<void()> onNextMeasure;
};

// A fresh window and the values it owns, over a program folder of its own
// with an empty RirekiDB, showing the start-up layout.
struct ViewsWorld {
    ViewsWorld();

    std::string cardFile(const std::string& name) const { return rirekiFilePath(dir.str(), name); }
    bool history(const std::string& name) { return cmdRirekiHyouji_Click(ctx, dir.str(), name); }
    bool totals(const std::string& name) { return cmdSyuukei_Click(ctx, dir.str(), name); }
    bool balances(const std::vector<std::string>& entries) { return cmdZandaka_Click(ctx, dir.str(), entries); }

    TempDir dir;
    HookedViewHost host;
    CardReadResults card;
    NameCaches caches;
    std::string DBErrorMessage;
    NameLookup names{dir.str(), caches, DBErrorMessage};
    bool SortAscending = true;
    ViewData data;
    ViewContext ctx{host, card, names, DBErrorMessage, SortAscending, data};
};

}  // namespace tovani::test
