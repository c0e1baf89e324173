#include <utility>

#include "cards/bytes.h"
#include "cards/calendar.h"
#include "cards/decoders.h"

namespace tovani {

namespace {
constexpr size_t kRecordSize = 32;  // one use spans two blocks
constexpr size_t kInfoSize = 8;     // the card number
constexpr size_t kWaonEntries = 3;
}  // namespace

bool decodeWaonRireki(CardReadResults& card, std::span<const uint8_t> buf, size_t offset, int index) {
    if (index < 0 || index >= CardRirekiSize || !bytes::fits(buf, offset, kRecordSize)) return false;
    RirekiInfo& e = card.CardRireki[static_cast<size_t>(index)];
    const auto b = [&](size_t i) { return uint32_t{buf[offset + i]}; };

    e.RiyouKubun = buf[offset + 17];
    if (e.RiyouKubun == 0) {
        // Serial 0 makes the empty record sort last.
        e.TorihikiTsuuban = 0;
        return false;
    }
    e.TorihikiTsuuban = bytes::be16(buf, offset + 13);

    // year-2005:5 month:4 day:5 hour:5 minute:6, then 7 bits of the balance.
    const uint32_t v = bytes::be32(buf, offset + 18);
    const CalendarDateTime when = calendarDateTime(2005 + int64_t{v >> 27}, (v >> 23) & 15,
                                                   (v >> 18) & 31, (v >> 13) & 31, (v >> 7) & 63);
    e.RiyouYmd = when.ymd;
    e.RiyouHms = when.hms;

    // Bytes 21, 23, 25 and 27 are each split between two neighbouring fields.
    e.Zangaku = static_cast<int32_t>((b(21) & 0x7F) * 2048 + b(22) * 8 + (b(23) >> 5));
    e.Kingaku = static_cast<int32_t>((b(23) & 0x1F) * 8192 + b(24) * 32 + (b(25) >> 3));
    e.Charge = static_cast<int32_t>((b(25) & 0x07) * 16384 + b(26) * 64 + (b(27) >> 2));
    return true;
}

void sortWaonRireki(CardReadResults& card) {
    // Bubble sort with a strict comparison: highest serial first, and entries
    // with equal serials keep their order.
    auto& r = card.CardRireki;
    for (size_t pass = 1; pass < kWaonEntries; ++pass) {
        for (size_t j = kWaonEntries - 1; j >= pass; --j) {
            if (r[j].TorihikiTsuuban > r[j - 1].TorihikiTsuuban) std::swap(r[j], r[j - 1]);
        }
    }
}

bool decodeWaonInfo(CardReadResults& card, std::span<const uint8_t> buf, size_t offset) {
    if (!bytes::fits(buf, offset, kInfoSize)) return false;
    card.CardID = cardIdText(buf.data() + offset);
    card.HakkouYmd = 0;  // WAON cards carry no issue date
    return true;
}

}  // namespace tovani
