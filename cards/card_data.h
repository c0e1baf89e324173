#pragma once

// The results of one card read: which kind of card, its number, its issue
// date and up to twenty history entries. The reader fills one instance; the
// display, the store and the row formatting read it afterwards.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace tovani {

// Values of CardKind. They are stored in every card file (CardInfo.CardKind)
// and choose the file name prefix, so they must never be renumbered.
constexpr int32_t CardKindNone = 0;
constexpr int32_t CardKindEdy = 1;
constexpr int32_t CardKindNanaco = 2;
constexpr int32_t CardKindWaon = 3;
constexpr int32_t CardKindSF = 100;

// One history entry. The field order is the column order of the Rireki table.
struct RirekiInfo {
    int32_t TorihikiTsuuban = 0;  // transaction serial number
    int32_t RiyouKubun = 0;       // use kind; 0 = empty slot
    int32_t RiyouYmd = 0;         // YYYYMMDD
    int32_t RiyouHms = 0;         // hhmmss
    int32_t Kingaku = 0;          // amount paid, yen
    int32_t Zangaku = 0;          // balance after, yen
    int32_t Charge = 0;           // amount charged, yen (WAON, transit)
    int32_t Kiki = 0;             // transit: terminal kind
    int32_t Shiharai = 0;         // transit: payment kind
    int32_t Nyuusyutujou = 0;     // transit: gate in/out kind
    int32_t NyuujouCD = 0;        // transit: entry station or stop (shop sale: time word)
    int32_t SyutujouCD = 0;       // transit: exit station or stop
    int32_t Chiiki = 0;           // transit: region byte

    bool operator==(const RirekiInfo&) const = default;
};

constexpr int RirekiFieldCount = 13;
constexpr int CardRirekiSize = 20;

// The thirteen fields by column index (0..12), for the store and the readers.
int32_t& rirekiField(RirekiInfo& r, int index);
int32_t rirekiField(const RirekiInfo& r, int index);

struct CardReadResults {
    int32_t CardKind = CardKindNone;
    std::string CardID;      // "XXXX-XXXX-XXXX-XXXX"
    int32_t HakkouYmd = 0;   // issue date YYYYMMDD, 0 when the family has none
    std::array<RirekiInfo, CardRirekiSize> CardRireki{};
    std::array<uint8_t, 8> LastCardIDm{};  // all zero = no card read yet
    // Entries whose amount could not be worked out in this read because the
    // card's stored history could not be read; the store leaves them out.
    std::array<bool, CardRirekiSize> AmountUnknown{};
};

// Number of CardRireki slots that a read of this kind writes and that every
// consumer looks at: Edy 6, nanaco 5, WAON 3, transit 20, others 0.
int rirekiSlotCount(int32_t cardKind);

// Number of Rireki columns in a card file of this kind: transit 13, WAON 7,
// all others 6.
int rirekiColumnCount(int32_t cardKind);

// Card file name prefix of a kind: "Edy_", "nanaco_", "WAON_", "SF_", or ""
// for any other value.
std::string dbFilePrefix(int32_t cardKind);

// Card number text of 8 bytes: upper-case hex, "-" after every second byte.
std::string cardIdText(const uint8_t* bytes8);

}  // namespace tovani
