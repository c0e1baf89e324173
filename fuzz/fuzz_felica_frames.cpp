// The FeliCa answer parsers over arbitrary frames. Byte 0 picks the parser
// (bit 7: the answer must come from another card than the frame names),
// byte 1 is the block count asked for, the rest is the frame. A frame a
// parser accepts must build back byte for byte.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "fuzz/fuzz_check.h"
#include "platform/felica/felica_frames.h"

using namespace tovani::felica;
using tovani::fuzz::check;

namespace {

bool same(const Frame& built, std::span<const uint8_t> frame) {
    return std::equal(built.begin(), built.end(), frame.begin(), frame.end());
}

void polling(std::span<const uint8_t> frame) {
    PollingAnswer p;
    std::string why;
    if (!parsePolling(frame, p, why)) {
        check(!why.empty(), "a refused polling answer says why");
        return;
    }
    check(same(buildPollingAnswer(p.idm, p.pmm, p.hasSystemCode ? &p.systemCode : nullptr), frame),
          "an accepted polling answer builds back");
}

void requestSystemCode(std::span<const uint8_t> frame, const Idm& idm) {
    std::vector<std::array<uint8_t, 2>> codes;
    std::string why;
    if (!parseRequestSystemCode(frame, idm, codes, why)) {
        check(!why.empty(), "a refused system code answer says why");
        return;
    }
    check(same(buildRequestSystemCodeAnswer(idm, codes), frame), "an accepted system code answer builds back");
}

void searchServiceCode(std::span<const uint8_t> frame, const Idm& idm) {
    SearchAnswer a;
    std::string why;
    if (!parseSearchServiceCode(frame, idm, a, why)) {
        check(!why.empty(), "a refused search answer says why");
        return;
    }
    check(same(buildSearchServiceCodeAnswer(idm, a), frame), "an accepted search answer builds back");
}

void readWithoutEncryption(std::span<const uint8_t> frame, const Idm& idm, size_t requested) {
    ReadAnswer r;
    std::string why;
    if (!parseReadWithoutEncryption(frame, idm, requested, r, why)) {
        check(!why.empty(), "a refused read answer says why");
        return;
    }
    if (r.statusFlag1 != 0) {
        check(r.blockData.empty(), "a refused read carries no blocks");
        return;
    }
    check(r.blockData.size() % BlockSize == 0, "whole blocks only");
    check(r.blockCount() >= 1 && r.blockCount() <= requested, "no more blocks than asked for");
    check(same(buildReadAnswer(idm, r.statusFlag1, r.statusFlag2, r.blockData), frame),
          "an accepted read answer builds back");
}

// The simulated card's side: a request it accepts, built again from what
// was parsed, must parse to the same request.
void readRequest(std::span<const uint8_t> frame) {
    ReadRequest q;
    std::string why;
    if (!parseReadRequest(frame, q, why)) {
        check(!why.empty(), "a refused read request says why");
        return;
    }
    check(!q.serviceCodes.empty() && !q.blocks.empty(), "an accepted request names services and blocks");
    const bool indexesValid = std::all_of(q.blocks.begin(), q.blocks.end(), [&](const BlockElement& e) {
        return e.serviceIndex < q.serviceCodes.size();
    });
    const Frame again = buildReadWithoutEncryption(q.idm, q.serviceCodes, q.blocks);
    if (!indexesValid) {
        check(again.empty(), "no request is built for a service the list lacks");
        return;
    }
    check(!again.empty() && again.size() <= frame.size(), "an accepted request builds again");
    ReadRequest q2;
    check(parseReadRequest(again, q2, why), "a built request parses");
    check(q2.idm == q.idm && q2.serviceCodes == q.serviceCodes && q2.blocks.size() == q.blocks.size(),
          "a built request parses to the same lists");
    for (size_t i = 0; i < q.blocks.size(); ++i)
        check(q2.blocks[i].serviceIndex == q.blocks[i].serviceIndex &&
                  q2.blocks[i].blockNumber == q.blocks[i].blockNumber,
              "a built request parses to the same blocks");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const uint8_t selector = data[0];
    const size_t requested = data[1];
    const std::span<const uint8_t> frame(data + 2, size - 2);

    Idm idm{};
    if (frame.size() >= 10) std::copy_n(frame.begin() + 2, 8, idm.begin());
    if (selector & 0x80) idm[7] ^= 0x01;

    switch (selector & 0x07) {
    case 0: polling(frame); break;
    case 1: requestSystemCode(frame, idm); break;
    case 2: searchServiceCode(frame, idm); break;
    case 3: readWithoutEncryption(frame, idm, requested); break;
    default: readRequest(frame); break;
    }
    // Messages quote any frame.
    check(hexText(frame).size() == (frame.empty() ? 0 : 3 * frame.size() - 1), "hex text of every byte");
    return 0;
}
