// The card-image loader over arbitrary text. An image it accepts must write
// out and load back to the same image, and a simulated card serving it must
// answer the commands the reader sends with frames the reader accepts.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "platform/felica/card_image.h"

using namespace tovani::felica;
using tovani::fuzz::check;

namespace {

// The questions of a card dump, kept small so that a large image stays fast.
void serve(const CardImage& image) {
    SimulatedCard card(image);
    std::string why;
    const auto polled = card.respond(buildPolling({0xFF, 0xFF}, RequestSystemCodeData, 0));
    check(polled.has_value(), "a card with systems answers a wildcard polling");
    PollingAnswer p;
    check(parsePolling(*polled, p, why), "the polling answer parses");

    const auto codes = card.respond(buildRequestSystemCode(p.idm));
    std::vector<std::array<uint8_t, 2>> systemCodes;
    check(codes && parseRequestSystemCode(*codes, p.idm, systemCodes, why) &&
              systemCodes.size() == image.systems.size(),
          "the system code answer lists every system");

    for (uint16_t index = 0; index < 4; ++index) {
        const auto found = card.respond(buildSearchServiceCode(p.idm, index));
        SearchAnswer a;
        check(found && parseSearchServiceCode(*found, p.idm, a, why), "every search index is answered");
    }

    const SystemImage& system = image.systems.front();
    for (size_t s = 0; s < std::min<size_t>(system.services.size(), 4); ++s) {
        const uint16_t code = system.services[s].code;
        const size_t blocks = std::min<size_t>(system.services[s].blocks.size() + 1, 16);
        std::vector<BlockElement> list;
        for (size_t b = 0; b < blocks; ++b) list.push_back({0, static_cast<uint16_t>(b)});
        const auto answer = card.respond(buildReadWithoutEncryption(p.idm, std::span(&code, 1), list));
        ReadAnswer r;
        check(answer && parseReadWithoutEncryption(*answer, p.idm, list.size(), r, why),
              "every read gets an answer the reader accepts");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    CardImage image;
    std::string why;
    if (!parseCardImage(text, image, why)) {
        check(!why.empty(), "a refused image says why");
        return 0;
    }
    check(!image.systems.empty(), "an accepted image has a system");
    const std::string written = cardImageToJson(image);
    CardImage again;
    check(parseCardImage(written, again, why), "a written image loads");
    check(cardImageToJson(again) == written, "a written image loads to the same image");
    serve(image);
    return 0;
}
