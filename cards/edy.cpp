#include "cards/bytes.h"
#include "cards/calendar.h"
#include "cards/decoders.h"

namespace tovani {

namespace {

constexpr size_t kBlockSize = 16;

// Edy times: bits 31..17 days since 2000-01-01, bits 16..0 second of that
// day. Seventeen bits reach past one day; the calendar carries the excess.
CalendarDateTime edyTime(std::span<const uint8_t> buf, size_t offset) {
    const uint32_t t = bytes::be32(buf, offset);
    return calendarDateTime(2000, 1, 1 + int64_t{t >> 17}, 0, 0, int64_t{t & 0x1FFFF});
}

}  // namespace

bool decodeEdyRireki(CardReadResults& card, std::span<const uint8_t> buf, size_t offset, int index) {
    if (index < 0 || index >= CardRirekiSize || !bytes::fits(buf, offset, kBlockSize)) return false;
    RirekiInfo& e = card.CardRireki[static_cast<size_t>(index)];

    e.RiyouKubun = buf[offset];
    if (e.RiyouKubun == 0) return false;

    e.TorihikiTsuuban = bytes::be16(buf, offset + 2);
    const CalendarDateTime when = edyTime(buf, offset + 4);
    e.RiyouYmd = when.ymd;
    e.RiyouHms = when.hms;
    // Stored as the card holds them, sign included.
    e.Kingaku = bytes::be32signed(buf, offset + 8);
    e.Zangaku = bytes::be32signed(buf, offset + 12);
    return true;
}

bool decodeEdyInfo(CardReadResults& card, std::span<const uint8_t> buf, size_t offset) {
    if (!bytes::fits(buf, offset, kBlockSize)) return false;
    card.CardID = cardIdText(buf.data() + offset + 2);
    card.HakkouYmd = edyTime(buf, offset + 10).ymd;
    return true;
}

}  // namespace tovani
