// The history and information decoders of the four card families over
// arbitrary blocks, at any offset and index. A refusal writes nothing, and
// whatever a decoder accepts is a real date and a well-formed card number.

#include <fuzzer/FuzzedDataProvider.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "cards/decoders.h"
#include "fuzz/fuzz_check.h"

using namespace tovani;
using tovani::fuzz::check;

namespace {

bool realDate(int32_t ymd) {
    if (ymd == 0) return true;  // no date to store
    const int32_t y = ymd / 10000, m = ymd / 100 % 100, d = ymd % 100;
    return y >= 1 && y <= 9999 && m >= 1 && m <= 12 && d >= 1 && d <= 31;
}

bool realTime(int32_t hms) {
    return hms >= 0 && hms / 10000 <= 23 && hms / 100 % 100 <= 59 && hms % 100 <= 59;
}

void checkEntries(const CardReadResults& card) {
    for (const RirekiInfo& e : card.CardRireki) {
        check(realDate(e.RiyouYmd), "a decoded date is a real date");
        check(realTime(e.RiyouHms), "a decoded time is a real time");
    }
    check(realDate(card.HakkouYmd), "an issue date is a real date");
    if (!card.CardID.empty()) {
        check(card.CardID.size() == 19, "a card number has 16 digits in four groups");
        for (size_t i = 0; i < card.CardID.size(); ++i)
            check(i % 5 == 4 ? card.CardID[i] == '-' : std::isxdigit(static_cast<unsigned char>(card.CardID[i])) != 0,
                  "a card number is upper-case hex in groups");
    }
}

bool sameCard(const CardReadResults& a, const CardReadResults& b) {
    return a.CardKind == b.CardKind && a.CardID == b.CardID && a.HakkouYmd == b.HakkouYmd &&
           a.CardRireki == b.CardRireki;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const int family = in.ConsumeIntegralInRange<int>(0, 3);
    const bool wholeRead = in.ConsumeBool();
    const size_t offset = in.ConsumeIntegralInRange<size_t>(0, 400);
    const int index = in.ConsumeIntegralInRange<int>(-2, CardRirekiSize + 1);
    // What the card's own file answers for the transit amounts.
    const StoredRireki stored = in.PickValueInArray(
        {StoredRireki::Found, StoredRireki::NotStored, StoredRireki::Unreadable});
    RirekiInfo storedEntry{};
    storedEntry.Kingaku = in.ConsumeIntegral<int32_t>();
    storedEntry.Charge = in.ConsumeIntegral<int32_t>();
    storedEntry.Zangaku = in.ConsumeIntegral<int32_t>();
    const RirekiLookup lookup = [&](int32_t, RirekiInfo& out) {
        if (stored == StoredRireki::Found) out = storedEntry;
        return stored;
    };
    const std::vector<uint8_t> buf = in.ConsumeRemainingBytes<uint8_t>();

    CardReadResults card;
    if (wholeRead) {
        // As the reader does: one entry per block (WAON: per block pair), the
        // information from the same buffer.
        const size_t n = buf.size() / 16;
        switch (family) {
        case 0:
            for (size_t i = 0; i < n; ++i) decodeEdyRireki(card, buf, 16 * i, static_cast<int>(i));
            decodeEdyInfo(card, buf, 0);
            break;
        case 1:
            for (size_t i = 0; i < n; ++i) decodeNanacoRireki(card, buf, 16 * i, static_cast<int>(i));
            decodeNanacoInfo(card, buf, 0);
            break;
        case 2:
            for (size_t i = 0; i + 1 <= n; i += 2) decodeWaonRireki(card, buf, 16 * i, static_cast<int>(i / 2));
            sortWaonRireki(card);
            decodeWaonInfo(card, buf, 0);
            break;
        default:
            for (size_t i = n; i-- > 0;) decodeSFRireki(card, buf, 16 * i, static_cast<int>(i), lookup);
            decodeSFInfo(card, buf, 0);
            break;
        }
        checkEntries(card);
        return 0;
    }

    // One call at any offset and index: a refusal for a short buffer or an
    // index outside the history leaves the results as they were.
    const CardReadResults before = card;
    bool ok = false;
    size_t width = 16;
    switch (family) {
    case 0: ok = decodeEdyRireki(card, buf, offset, index); break;
    case 1: ok = decodeNanacoRireki(card, buf, offset, index); break;
    case 2: ok = decodeWaonRireki(card, buf, offset, index); width = 32; break;
    default: ok = decodeSFRireki(card, buf, offset, index, lookup); break;
    }
    const bool fits = offset <= buf.size() && buf.size() - offset >= width;
    if (!fits || index < 0 || index >= CardRirekiSize) {
        check(!ok && sameCard(card, before), "a refused entry writes nothing");
    }
    bool infoOk = false;
    switch (family) {
    case 0: infoOk = decodeEdyInfo(card, buf, offset); break;
    case 1: infoOk = decodeNanacoInfo(card, buf, offset); width = 32; break;
    case 2: infoOk = decodeWaonInfo(card, buf, offset); width = 8; break;
    default: infoOk = decodeSFInfo(card, buf, offset); break;
    }
    if (offset > buf.size() || buf.size() - offset < width) check(!infoOk, "a short information block is refused");
    checkEntries(card);
    return 0;
}
