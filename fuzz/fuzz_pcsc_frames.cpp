// The PC/SC answer parsers over arbitrary answers, the transparent session's
// and the ACS readers' direct transmit. Byte 0 picks the parser (bit 0:
// whether the command carried a card frame), the rest is what the reader
// sent. Data objects that parse must encode back to the same objects.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "platform/felica/pcsc/acs_frames.h"
#include "platform/felica/pcsc/pcsc_frames.h"

using namespace tovani::felica;
using namespace tovani::felica::pcsc_frames;
using tovani::fuzz::check;

namespace {

void dataObjects(std::span<const uint8_t> bytes) {
    std::vector<DataObject> objects;
    std::string why;
    if (!parseDataObjects(bytes, objects, why)) {
        check(!why.empty(), "refused data objects say why");
        return;
    }
    std::vector<uint8_t> again;
    for (const DataObject& o : objects) {
        check(o.value.empty() || (o.value.data() >= bytes.data() &&
                                  o.value.data() + o.value.size() <= bytes.data() + bytes.size()),
              "a value lies inside the answer");
        appendDataObject(again, o.tag, o.value);
    }
    check(again.size() <= bytes.size(), "the shortest encoding is no longer");
    std::vector<DataObject> back;
    check(parseDataObjects(again, back, why), "encoded objects parse");
    check(back.size() == objects.size(), "encoded objects parse to as many");
    for (size_t i = 0; i < back.size(); ++i)
        check(back[i].tag == objects[i].tag &&
                  std::equal(back[i].value.begin(), back[i].value.end(), objects[i].value.begin(),
                             objects[i].value.end()),
              "encoded objects parse to the same");
}

void sessionAnswer(std::span<const uint8_t> answer, bool expectCardFrame) {
    SessionAnswer a;
    std::string why;
    if (!parseSessionAnswer(answer, expectCardFrame, a, why)) {
        check(!why.empty(), "a malformed answer says why");
        return;
    }
    check(answer.size() >= 2 && answer.size() <= MaxAnswerLength, "an accepted answer has a sound size");
    if (a.kind == SessionAnswer::Done) {
        check(a.statusWord == std::array<uint8_t, 2>{0x90, 0x00}, "done only with 90 00");
        if (expectCardFrame)
            check(a.status && a.cardFrame && !a.cardFrame->empty(), "a done exchange carries the card's frame");
    } else {
        check(!why.empty(), "a failure says why");
    }
    if (a.cardFrame) check(a.cardFrame->size() <= answer.size(), "the card's frame comes from the answer");
}

void uidAnswer(std::span<const uint8_t> answer) {
    std::vector<uint8_t> uid;
    std::string why;
    if (!parseUidAnswer(answer, uid, why)) {
        check(!why.empty() && uid.empty(), "a refused identifier says why and gives none");
        return;
    }
    check(!uid.empty() && uid.size() + 2 == answer.size(), "the identifier is the answer before 90 00");
}

void directAnswer(std::span<const uint8_t> answer, int which) {
    acs_frames::DirectAnswer a;
    std::string why;
    const bool wellFormed = which == 0   ? acs_frames::parsePn532PollingAnswer(answer, a, why)
                            : which == 1 ? acs_frames::parsePn532ExchangeAnswer(answer, a, why)
                                         : acs_frames::parseDirectFrameAnswer(answer, a, why);
    if (!wellFormed || a.kind != acs_frames::DirectAnswer::Done) {
        check(!why.empty(), "a failed direct answer says why");
        return;
    }
    check(!a.cardFrame.empty() && a.cardFrame[0] == a.cardFrame.size() && a.cardFrame.size() + 2 <= answer.size(),
          "a direct answer's frame is whole and inside the answer");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::span<const uint8_t> answer(data + 1, size - 1);
    switch ((data[0] >> 1) % 5) {
    case 0: dataObjects(answer); break;
    case 1: sessionAnswer(answer, data[0] & 1); break;
    case 2: uidAnswer(answer); break;
    case 3: directAnswer(answer, (data[0] >> 4) % 3); break;
    default: {
        (void)atrIsFelica(answer);
        // Whatever frame the program sends fits the APDU or is refused.
        const Apdu apdu = transparentExchange(answer, 100000);
        if (!apdu.empty()) check(apdu.size() == apdu[4] + 6u && apdu.size() <= 261, "a short APDU with its Lc");
        break;
    }
    }
    return 0;
}
