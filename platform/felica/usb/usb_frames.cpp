#include "platform/felica/usb/usb_frames.h"

#include <algorithm>
#include <charconv>
#include <string_view>
#include <numeric>

namespace tovani::felica::usb_frames {

namespace {

uint8_t checksum(std::span<const uint8_t> bytes) {
    return static_cast<uint8_t>(0x100 - (std::accumulate(bytes.begin(), bytes.end(), 0u) & 0xFF));
}

bool sumsToZero(std::span<const uint8_t> bytes, uint8_t check) {
    return ((std::accumulate(bytes.begin(), bytes.end(), 0u) + check) & 0xFF) == 0;
}

bool fail(std::string& why, std::string text) {
    why = std::move(text);
    return false;
}

}  // namespace

std::vector<uint8_t> frame(std::span<const uint8_t> data) {
    if (data.empty() || data.size() > MaxData) return {};
    const uint8_t lenL = static_cast<uint8_t>(data.size() & 0xFF), lenH = static_cast<uint8_t>(data.size() >> 8);
    std::vector<uint8_t> f{0x00, 0x00, 0xFF, 0xFF, 0xFF, lenL, lenH, static_cast<uint8_t>(0x100 - ((lenL + lenH) & 0xFF))};
    f.insert(f.end(), data.begin(), data.end());
    f.push_back(checksum(data));
    f.push_back(0x00);
    return f;
}

std::vector<uint8_t> shortFrame(std::span<const uint8_t> data) {
    if (data.empty() || data.size() > 0xFF) return {};
    const uint8_t len = static_cast<uint8_t>(data.size());
    std::vector<uint8_t> f{0x00, 0x00, 0xFF, len, static_cast<uint8_t>(0x100 - len)};
    f.insert(f.end(), data.begin(), data.end());
    f.push_back(checksum(data));
    f.push_back(0x00);
    return f;
}

std::vector<uint8_t> command(uint8_t code, std::span<const uint8_t> params) {
    std::vector<uint8_t> data{HostToDevice, code};
    data.insert(data.end(), params.begin(), params.end());
    return frame(data);
}

bool parseFrame(std::span<const uint8_t> bytes, Parsed& out, std::string& why) {
    out = {};
    if (bytes.size() < 6) return fail(why, "a frame of " + std::to_string(bytes.size()) + " bytes");
    if (bytes[0] != 0x00 || bytes[1] != 0x00 || bytes[2] != 0xFF) return fail(why, "no start code 00 00 FF");
    // The ACK and the error frame are told apart on all six bytes: an
    // extended frame starts with the same five as the error frame.
    if (bytes.size() == 6 && std::equal(bytes.begin(), bytes.end(), Ack.begin())) {
        out.kind = Parsed::Acknowledgement;
        return true;
    }
    if (bytes.size() == 6 && std::equal(bytes.begin(), bytes.end(), ErrorFrame.begin())) {
        out.kind = Parsed::DeviceError;
        return true;
    }
    size_t length = 0, head = 0;
    if (bytes[3] == 0xFF && bytes[4] == 0xFF) {
        if (bytes.size() < 8) return fail(why, "an extended frame cut short in its length");
        if (!sumsToZero(bytes.subspan(5, 2), bytes[7])) return fail(why, "length checksum does not add up");
        length = bytes[5] | (bytes[6] << 8);
        head = 8;
    } else {
        if (!sumsToZero(bytes.subspan(3, 1), bytes[4])) return fail(why, "length checksum does not add up");
        length = bytes[3];
        head = 5;
    }
    if (length == 0) return fail(why, "a frame without data");
    if (length > MaxData) return fail(why, "a frame of " + std::to_string(length) + " data bytes, more than 290");
    if (bytes.size() < head + length + 2)
        return fail(why, "a frame cut short: " + std::to_string(bytes.size()) + " bytes of " +
                             std::to_string(head + length + 2));
    if (bytes.size() > head + length + 2)
        return fail(why, std::to_string(bytes.size() - head - length - 2) + " bytes after the frame");
    const std::span<const uint8_t> data = bytes.subspan(head, length);
    if (!sumsToZero(data, bytes[head + length])) return fail(why, "data checksum does not add up");
    if (bytes[head + length + 1] != 0x00) return fail(why, "no postamble 00");
    out.kind = Parsed::Data;
    out.data.assign(data.begin(), data.end());
    return true;
}

bool answerResults(std::span<const uint8_t> data, uint8_t code, std::vector<uint8_t>& results, std::string& why) {
    results.clear();
    if (data.size() < 2) return fail(why, "an answer without its code");
    if (data[0] != DeviceToHost || data[1] != static_cast<uint8_t>(code + 1))
        return fail(why, "answer " + hexText(data.first(2)) + " to command " + hexText(std::span(&code, 1)));
    results.assign(data.begin() + 2, data.end());
    return true;
}

std::vector<uint8_t> inCommRfParams(uint16_t timeout, std::span<const uint8_t> felicaFrame) {
    std::vector<uint8_t> p{static_cast<uint8_t>(timeout & 0xFF), static_cast<uint8_t>(timeout >> 8)};
    p.insert(p.end(), felicaFrame.begin(), felicaFrame.end());
    return p;
}

bool parseInCommRf(std::span<const uint8_t> results, CommAnswer& out, std::string& why) {
    out = {};
    if (results.size() < 5) return fail(why, "InCommRF answer of " + std::to_string(results.size()) + " bytes");
    out.errorMask = results[0] | (results[1] << 8) | (results[2] << 16) | (static_cast<uint32_t>(results[3]) << 24);
    if (out.errorMask != 0) return true;
    const std::span<const uint8_t> card = results.subspan(5);
    if (card.empty()) return fail(why, "InCommRF answer without the card's frame");
    if (card[0] != card.size())
        return fail(why, "the card's frame says " + std::to_string(card[0]) + " bytes, " +
                             std::to_string(card.size()) + " came");
    out.cardFrame.assign(card.begin(), card.end());
    return true;
}

uint16_t pollingTimeout() {
    // 10 ms and one more, as the public drivers give one time slot.
    return 110;
}

namespace {

// A PMm byte announces a response time T = 0.3021 ms x (B x n + A) x 4^E for
// n units of work (blocks), with A = bits 2-0 + 1, B = bits 5-3 + 1, E = bits
// 7-6. Answered in 0.1 ms, rounded up, with 1 ms to spare.
uint16_t announcedTime(uint8_t pmmByte, size_t units, uint32_t floorTenths) {
    const uint32_t a = (pmmByte & 7u) + 1, b = ((pmmByte >> 3) & 7u) + 1, e = pmmByte >> 6;
    const uint64_t tenthsTimesThousand = 3021ull * (b * units + a) << (2 * e);
    const uint64_t tenths = std::max<uint64_t>((tenthsTimesThousand + 999) / 1000, floorTenths) + 10;
    return static_cast<uint16_t>(std::min<uint64_t>(tenths, 0xFFFF));
}

}  // namespace

uint16_t commandTimeout(const Pmm& pmm, std::span<const uint8_t> felicaFrame) {
    if (felicaFrame.size() < 2) return 1000;
    switch (felicaFrame[1]) {
    case code::Polling:
        return pollingTimeout();
    case code::ReadWithoutEncryption: {
        ReadRequest request;
        std::string why;
        const size_t blocks = parseReadRequest(felicaFrame, request, why) ? request.blocks.size() : 15;
        return announcedTime(pmm[5], blocks, 0);
    }
    case code::RequestSystemCode:
    case code::SearchServiceCode:
        // Fixed-time commands; at least 2 ms, as cards announce too little.
        return announcedTime(pmm[3], 0, 20);
    default:
        return 1000;  // 100 ms for a command the card announces no time for
    }
}

}  // namespace tovani::felica::usb_frames

namespace tovani::felica {

bool parseUsbBusAddress(const std::string& text, uint8_t& bus, uint8_t& address) {
    const size_t colon = text.find(':');
    if (colon == std::string::npos) return false;
    const auto number = [](std::string_view s, uint8_t& out) {
        unsigned value = 0;
        const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, 10);
        if (ec != std::errc() || end != s.data() + s.size() || s.empty() || value > 255) return false;
        out = static_cast<uint8_t>(value);
        return true;
    };
    const std::string_view all(text);
    return number(all.substr(0, colon), bus) && number(all.substr(colon + 1), address);
}

}  // namespace tovani::felica
