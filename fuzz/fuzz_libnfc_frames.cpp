// The libnfc frame handling over arbitrary input: what libnfc reports of a
// polled target and what a transceive hands back. Byte 0 picks the function;
// the target report is the next 20 bytes (szLen first), a transceive result
// the next two (signed, low byte first) with the received bytes after them.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include <nfc/nfc.h>

#include "fuzz/fuzz_check.h"
#include "platform/felica/libnfc_reader.h"

using namespace tovani::felica;
using namespace tovani::felica::libnfc_frames;
using tovani::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::span<const uint8_t> rest(data + 1, size - 1);
    switch (data[0] % 3) {
    case 0: {
        const std::vector<uint8_t> command(rest.begin(), rest.end());
        const std::vector<uint8_t> init = pollingInitData(command);
        if (!init.empty())
            check(init.size() == 5 && std::equal(init.begin(), init.end(), command.begin() + 1),
                  "target selection gets the polling command without its length byte");
        break;
    }
    case 1: {
        // The driver fills this from the reader's bytes; szLen is whatever came.
        if (rest.size() < 20) return 0;
        nfc_felica_info info{};
        info.szLen = rest[0];
        info.btResCode = rest[1];
        std::copy_n(rest.begin() + 2, 8, info.abtId);
        std::copy_n(rest.begin() + 10, 8, info.abtPad);
        std::copy_n(rest.begin() + 18, 2, info.abtSysCode);
        const auto answer = pollingAnswerFromTarget(info);
        if (answer) {
            PollingAnswer p;
            std::string why;
            check(parsePolling(*answer, p, why), "a rebuilt polling answer parses");
            check(std::equal(p.idm.begin(), p.idm.end(), info.abtId), "the IDm survives");
        }
        break;
    }
    default: {
        // A transceive result may claim more bytes than the buffer holds.
        if (rest.size() < 2) return 0;
        const int result = static_cast<int16_t>(rest[0] | (rest[1] << 8));
        const std::vector<uint8_t> received(rest.begin() + 2, rest.end());
        Frame response{0xAA};
        const Exchange e = classifyTransceive(result, received, response);
        if (e == Exchange::Answered) {
            check(result > 0 && static_cast<size_t>(result) <= received.size(), "an answer lies inside the buffer");
            check(response.size() == static_cast<size_t>(result) && response[0] == response.size() &&
                      std::equal(response.begin(), response.end(), received.begin()),
                  "an answer is the received frame");
        } else {
            check(response.empty(), "no answer leaves no frame");
        }
        if (result < 0) check(e == classifyError(result), "errors classify alike");
        break;
    }
    }
    return 0;
}
