#pragma once

// The history table: its layout (setRirekiGrid) and the one way a history
// entry becomes a table row (setRirekiRow). Used by the polling display, the
// history view and the window at start-up.

#include <cstdint>
#include <string>

#include "cards/card_data.h"
#include "names/station_lookup.h"
#include "views/result_table.h"
#include "views/view_host.h"

namespace tovani {

// What the station and bus-stop lookups need. The window owns one for the
// life of the program (so the name caches live as long); tests make their
// own. A failed lookup leaves its reason in DBErrorMessage.
struct NameLookup {
    std::string programDir;  // folder of Station.DB
    NameCaches& caches;
    std::string& DBErrorMessage;

    std::string station(int32_t code) { return getStation(code, programDir, caches, DBErrorMessage); }
    std::string busStop(int32_t code) { return getBusStop(code, programDir, caches, DBErrorMessage); }
};

// Lays the table out for history rows: 8 columns for a transit card
// (CardKind 100), 6 for any other kind, dataRows + 1 rows (row 0 the header),
// tag "Rireki", widths measured in the window's font.
void setRirekiGrid(const TextMeasure& font, ResultTable& table, int32_t dataRows, int32_t CardKind);

// Writes one history entry into row `row` (1 = first data row) of a table
// laid out by setRirekiGrid for the same CardKind: serial number, date (and
// time), kind of use, for transit the entry and exit places, and the amounts.
// Cells it does not write keep their text. Lookup failures are written as
// the lookups' own substitute texts; nothing is reported.
void setRirekiRow(ResultTable& table, int row, const RirekiInfo& entry, int32_t CardKind,
                  NameLookup& names);

// Name and direction of a prepaid-card use kind (CardKind 1, 2, 3): the name
// of the table, or "不明コード(0x..)" and deposit for a code it does not list;
// the empty name and payment for any other CardKind. Transit use kinds are
// named by riyouKubunName.
struct UseKindText {
    std::string name;
    bool deposit = false;
};
UseKindText prepaidUseKind(int32_t CardKind, int32_t RiyouKubun);

}  // namespace tovani
