// The USB reader's frame parsers over arbitrary bytes from the device. Byte
// 0 picks the parser, the rest is what one bulk read brought. A frame that
// parses must frame back to the same bytes; an InCommRF answer that parses
// holds the card's frame whole.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "platform/felica/usb/usb_frames.h"

using namespace tovani::felica;
using namespace tovani::felica::usb_frames;
using tovani::fuzz::check;

namespace {

void deviceFrame(std::span<const uint8_t> bytes) {
    Parsed parsed;
    std::string why;
    if (!parseFrame(bytes, parsed, why)) {
        check(!why.empty(), "a refused frame says why");
        return;
    }
    if (parsed.kind != Parsed::Data) {
        check(bytes.size() == 6 && parsed.data.empty(), "an ACK or error frame is six bytes");
        return;
    }
    check(!parsed.data.empty() && parsed.data.size() <= MaxData, "data of a sound size");
    const bool extended = bytes[3] == 0xFF && bytes[4] == 0xFF;
    const std::vector<uint8_t> again = extended ? frame(parsed.data) : shortFrame(parsed.data);
    check(std::vector<uint8_t>(bytes.begin(), bytes.end()) == again, "a parsed frame frames back the same");
    std::vector<uint8_t> results;
    if (parsed.data.size() >= 2 &&
        answerResults(parsed.data, static_cast<uint8_t>(parsed.data[1] - 1), results, why))
        check(parsed.data[0] == DeviceToHost && results.size() + 2 == parsed.data.size(),
              "results are the answer after its code");
}

void inCommRf(std::span<const uint8_t> results) {
    CommAnswer answer;
    std::string why;
    if (!parseInCommRf(results, answer, why)) {
        check(!why.empty(), "a refused InCommRF answer says why");
        return;
    }
    if (answer.errorMask != 0) {
        check(answer.cardFrame.empty(), "no card frame beside an error");
        return;
    }
    check(!answer.cardFrame.empty() && answer.cardFrame[0] == answer.cardFrame.size() &&
              answer.cardFrame.size() + 5 == results.size(),
          "the card's frame is whole");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::span<const uint8_t> rest(data + 1, size - 1);
    switch (data[0] % 3) {
    case 0: deviceFrame(rest); break;
    case 1: inCommRf(rest); break;
    default: {
        // Whatever FeliCa frame the program carries gets a timeout that fits.
        Pmm pmm{};
        for (size_t i = 0; i < pmm.size() && i < rest.size(); ++i) pmm[i] = rest[i];
        const uint16_t t = commandTimeout(pmm, rest.size() > 8 ? rest.subspan(8) : std::span<const uint8_t>());
        check(t >= 10, "a timeout with its margin");
        break;
    }
    }
    return 0;
}
