#include "cards/bytes.h"
#include "cards/calendar.h"
#include "cards/decoders.h"

namespace tovani {

namespace {
constexpr size_t kBlockSize = 16;
constexpr size_t kInfoSize = 32;  // both information blocks
}  // namespace

bool decodeNanacoRireki(CardReadResults& card, std::span<const uint8_t> buf, size_t offset,
                        int index) {
    if (index < 0 || index >= CardRirekiSize || !bytes::fits(buf, offset, kBlockSize)) return false;
    RirekiInfo& e = card.CardRireki[static_cast<size_t>(index)];

    e.RiyouKubun = buf[offset];
    if (e.RiyouKubun == 0) return false;

    e.Kingaku = bytes::be32signed(buf, offset + 1);
    e.Zangaku = bytes::be32signed(buf, offset + 5);

    // year-2000:11 month:4 day:5 hour:6 minute:6, no seconds.
    const uint32_t v = bytes::be32(buf, offset + 9);
    const CalendarDateTime when =
        calendarDateTime(2000 + int64_t{v >> 21}, (v >> 17) & 15, (v >> 12) & 31, (v >> 6) & 63,
                         v & 63);
    e.RiyouYmd = when.ymd;
    e.RiyouHms = when.hms;

    e.TorihikiTsuuban = bytes::be16(buf, offset + 13);
    return true;
}

bool decodeNanacoInfo(CardReadResults& card, std::span<const uint8_t> buf, size_t offset) {
    if (!bytes::fits(buf, offset, kInfoSize)) return false;
    card.CardID = cardIdText(buf.data() + offset);
    // year-2000:7 month:4 day:5
    const uint16_t w = bytes::be16(buf, offset + 17);
    card.HakkouYmd = calendarDateTime(2000 + (w >> 9), (w >> 5) & 15, w & 31).ymd;
    return true;
}

}  // namespace tovani
