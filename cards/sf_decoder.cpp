// Transit (SF) history blocks: 16 bytes per use, block 0 the newest. A block
// holds the balance after the use but not its amount, so the amount comes
// from the balance before it: the older block of the same read, or the
// card's own file when the older block is missing.

#include <cstdint>
#include <limits>

#include "cards/bytes.h"
#include "cards/calendar.h"
#include "cards/decoders.h"
#include "cards/sf_codes.h"

namespace tovani {

namespace {

constexpr size_t kBlockSize = 16;

// Stored values come from a file that other programs may have edited; keep
// the arithmetic in 64 bits and the result inside the 32-bit field.
int32_t clamp32(int64_t v) {
    if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

// Signed change of the use: positive = paid, negative = charged.
// `unknown` is set when the change cannot be known because the lookup failed.
int64_t balanceChange(const CardReadResults& card, const RirekiInfo& e, int index,
                      const RirekiLookup& lookup, bool& unknown) {
    // The card's first transaction charged the whole balance from 0.
    if (e.TorihikiTsuuban == 1) return -int64_t{e.Zangaku};

    if (index + 1 < CardRirekiSize) {
        const RirekiInfo& older = card.CardRireki[static_cast<size_t>(index + 1)];
        if (older.RiyouKubun != 0) return int64_t{older.Zangaku} - e.Zangaku;
    }

    if (!lookup) return 0;
    // This very transaction may be stored from an earlier read: reuse its amount.
    RirekiInfo stored{};
    const StoredRireki self = lookup(e.TorihikiTsuuban, stored);
    if (self == StoredRireki::Found) {
        int64_t d = 0;
        if (stored.Kingaku > 0) d = stored.Kingaku;
        if (stored.Charge > 0) d = -int64_t{stored.Charge};  // a charge wins
        return d;
    }
    // A file that cannot be read says nothing about what is stored: 0 would
    // be a wrong amount, so the entry is marked and kept out of the store.
    if (self == StoredRireki::Unreadable) {
        unknown = true;
        return 0;
    }
    // Otherwise the stored predecessor gives the balance before. Serial 0 has
    // no predecessor; asking for -1 would mean "the newest stored one".
    if (e.TorihikiTsuuban > 0) {
        RirekiInfo previous{};
        const StoredRireki before = lookup(e.TorihikiTsuuban - 1, previous);
        if (before == StoredRireki::Found) return int64_t{previous.Zangaku} - e.Zangaku;
        if (before == StoredRireki::Unreadable) unknown = true;
    }
    return 0;
}

}  // namespace

bool decodeSFRireki(CardReadResults& card, std::span<const uint8_t> buf, size_t offset, int index,
                    const RirekiLookup& lookup) {
    if (index < 0 || index >= CardRirekiSize || !bytes::fits(buf, offset, kBlockSize)) return false;
    const std::span<const uint8_t> b = buf.subspan(offset, kBlockSize);
    RirekiInfo& e = card.CardRireki[static_cast<size_t>(index)];
    bool& unknown = card.AmountUnknown[static_cast<size_t>(index)];
    unknown = false;

    bool charge = false;  // only the category matters here
    SFCategory category = SFCategoryRail;
    riyouKubunName(b[1], charge, category);

    // The whole byte is kept: bit 7 marks cash and card paid together.
    e.RiyouKubun = b[1];
    if (b[1] == 0) return false;  // empty block: the rest of the entry stays as it was

    e.Kiki = b[0];
    e.Shiharai = b[2];
    e.Nyuusyutujou = b[3];

    const uint16_t w = bytes::be16(b, 4);
    const int64_t year = 2000 + ((w >> 9) & 0x7F);
    const int64_t month = (w >> 5) & 0x0F;
    const int64_t day = w & 0x1F;
    const CalendarDateTime date = calendarDateTime(year, month, day);
    e.RiyouYmd = date.ymd;
    e.RiyouHms = 0;

    // Always the raw word; shop sales keep their time of day in it.
    e.NyuujouCD = bytes::be16(b, 6);
    if (category == SFCategoryShop) {
        const uint16_t t = bytes::be16(b, 6);
        const int64_t hour = (t >> 11) & 0x1F;
        const int64_t minute = (t >> 5) & 0x3F;
        // An hour past 23 rolls into the next day; date and time move together.
        const CalendarDateTime when = calendarDateTime(year, month, day, hour, minute, 0);
        e.RiyouYmd = when.ymd;
        e.RiyouHms = when.hms;
    }

    e.SyutujouCD = bytes::be16(b, 8);
    e.Zangaku = bytes::le16(b, 10);  // the one field stored low byte first
    e.TorihikiTsuuban = bytes::be16(b, 13);
    e.Chiiki = b[15];

    const int64_t d = balanceChange(card, e, index, lookup, unknown);
    if (d < 0) {
        e.Kingaku = 0;
        e.Charge = clamp32(-d);
    } else {
        e.Kingaku = clamp32(d);
        e.Charge = 0;
    }
    return true;
}

bool decodeSFInfo(CardReadResults& card, std::span<const uint8_t> buf, size_t offset) {
    if (!bytes::fits(buf, offset, kBlockSize)) return false;
    // The block carries no issue date the program uses.
    card.HakkouYmd = 0;
    return true;
}

}  // namespace tovani
