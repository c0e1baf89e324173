#include "platform/felica/felica_frames.h"

#include <algorithm>
#include <cstdio>

namespace tovani::felica {

namespace {

// Sets the length byte once the frame is complete; empty when it cannot fit.
Frame finish(Frame f) {
    if (f.empty() || f.size() > MaxFrameLength) return {};
    f[0] = static_cast<uint8_t>(f.size());
    return f;
}

void append(Frame& f, std::span<const uint8_t> bytes) { f.insert(f.end(), bytes.begin(), bytes.end()); }

void appendLe16(Frame& f, uint16_t v) {
    f.push_back(static_cast<uint8_t>(v & 0xFF));
    f.push_back(static_cast<uint8_t>(v >> 8));
}

uint16_t le16(std::span<const uint8_t> b, size_t o) {
    return static_cast<uint16_t>(b[o] | (b[o + 1] << 8));
}

// The part every answer shares: a length byte that matches the frame, the
// expected response code, and (when minimum allows) the IDm of the card.
bool checkHeader(std::span<const uint8_t> frame, uint8_t responseCode, size_t minimum, std::string& why) {
    if (frame.size() < 2) {
        why = "frame of " + std::to_string(frame.size()) + " bytes";
        return false;
    }
    if (frame[0] != frame.size()) {
        why = "length byte " + std::to_string(frame[0]) + " but " + std::to_string(frame.size()) + " bytes";
        return false;
    }
    if (frame[1] != responseCode) {
        why = "response code " + hexText(frame.subspan(1, 1));
        return false;
    }
    if (frame.size() < minimum) {
        why = "answer of " + std::to_string(frame.size()) + " bytes, at least " + std::to_string(minimum) +
              " needed";
        return false;
    }
    return true;
}

bool checkIdm(std::span<const uint8_t> frame, const Idm& idm, std::string& why) {
    if (!std::equal(idm.begin(), idm.end(), frame.begin() + 2)) {
        why = "answer from another card";
        return false;
    }
    return true;
}

}  // namespace

Frame buildPolling(std::array<uint8_t, 2> systemCode, uint8_t requestCode, uint8_t timeSlot) {
    return finish({0, code::Polling, systemCode[0], systemCode[1], requestCode, timeSlot});
}

Frame buildRequestSystemCode(const Idm& idm) {
    Frame f{0, code::RequestSystemCode};
    append(f, idm);
    return finish(std::move(f));
}

Frame buildSearchServiceCode(const Idm& idm, uint16_t index) {
    Frame f{0, code::SearchServiceCode};
    append(f, idm);
    appendLe16(f, index);
    return finish(std::move(f));
}

Frame buildReadWithoutEncryption(const Idm& idm, std::span<const uint16_t> serviceCodes,
                                 std::span<const BlockElement> blocks) {
    if (serviceCodes.empty() || serviceCodes.size() > 0xFF || blocks.empty() || blocks.size() > 0xFF) return {};
    Frame f{0, code::ReadWithoutEncryption};
    append(f, idm);
    f.push_back(static_cast<uint8_t>(serviceCodes.size()));
    for (uint16_t s : serviceCodes) appendLe16(f, s);
    f.push_back(static_cast<uint8_t>(blocks.size()));
    for (const BlockElement& b : blocks) {
        if (b.serviceIndex > 0x0F || b.serviceIndex >= serviceCodes.size()) return {};
        if (b.blockNumber < 0x100) {
            f.push_back(static_cast<uint8_t>(0x80 | b.serviceIndex));
            f.push_back(static_cast<uint8_t>(b.blockNumber));
        } else {
            f.push_back(b.serviceIndex);
            appendLe16(f, b.blockNumber);
        }
    }
    return finish(std::move(f));
}

// Polling answer: [len] [01] [IDm 8] [PMm 8] ([request data 2]).
bool parsePolling(std::span<const uint8_t> frame, PollingAnswer& out, std::string& why) {
    if (!checkHeader(frame, code::PollingResponse, 18, why)) return false;
    if (frame.size() != 18 && frame.size() != 20) {
        why = "polling answer of " + std::to_string(frame.size()) + " bytes";
        return false;
    }
    std::copy_n(frame.begin() + 2, 8, out.idm.begin());
    std::copy_n(frame.begin() + 10, 8, out.pmm.begin());
    out.hasSystemCode = frame.size() == 20;
    if (out.hasSystemCode) {
        out.systemCode = {frame[18], frame[19]};
    }
    return true;
}

// [len] [0D] [IDm 8] [count] [count x 2 bytes].
bool parseRequestSystemCode(std::span<const uint8_t> frame, const Idm& idm,
                            std::vector<std::array<uint8_t, 2>>& systemCodes, std::string& why) {
    if (!checkHeader(frame, code::RequestSystemCodeResponse, 11, why) || !checkIdm(frame, idm, why)) return false;
    size_t count = frame[10];
    if (frame.size() != 11 + 2 * count) {
        why = std::to_string(count) + " system codes announced in " + std::to_string(frame.size()) + " bytes";
        return false;
    }
    systemCodes.clear();
    for (size_t i = 0; i < count; ++i) systemCodes.push_back({frame[11 + 2 * i], frame[12 + 2 * i]});
    return true;
}

// [len] [0B] [IDm 8] then 2 bytes (a service code, or FFFF at the end of the
// list) or 4 bytes (an area code and its end service code), low byte first.
bool parseSearchServiceCode(std::span<const uint8_t> frame, const Idm& idm, SearchAnswer& out,
                            std::string& why) {
    if (!checkHeader(frame, code::SearchServiceCodeResponse, 12, why) || !checkIdm(frame, idm, why)) return false;
    if (frame.size() == 12) {
        out.code = le16(frame, 10);
        out.endServiceCode = 0;
        out.kind = out.code == EndOfServiceList ? SearchAnswer::End : SearchAnswer::Service;
        return true;
    }
    if (frame.size() == 14) {
        out.kind = SearchAnswer::Area;
        out.code = le16(frame, 10);
        out.endServiceCode = le16(frame, 12);
        return true;
    }
    why = "search answer of " + std::to_string(frame.size()) + " bytes";
    return false;
}

// [len] [07] [IDm 8] [status 1] [status 2] and, when both are 0,
// [block count] [count x 16 bytes].
bool parseReadWithoutEncryption(std::span<const uint8_t> frame, const Idm& idm, size_t requestedBlocks,
                                ReadAnswer& out, std::string& why) {
    if (!checkHeader(frame, code::ReadWithoutEncryptionResponse, 12, why) || !checkIdm(frame, idm, why))
        return false;
    out.statusFlag1 = frame[10];
    out.statusFlag2 = frame[11];
    out.blockData.clear();
    if (out.statusFlag1 != 0) {
        // A refusal carries nothing else (some cards pad it; the padding is not read).
        return true;
    }
    if (frame.size() < 13) {
        why = "read answer without a block count";
        return false;
    }
    size_t count = frame[12];
    if (count == 0 || count > requestedBlocks) {
        why = std::to_string(count) + " blocks answered for " + std::to_string(requestedBlocks) + " asked";
        return false;
    }
    if (frame.size() != 13 + BlockSize * count) {
        why = std::to_string(count) + " blocks announced in " + std::to_string(frame.size()) + " bytes";
        return false;
    }
    out.blockData.assign(frame.begin() + 13, frame.end());
    return true;
}

bool parseReadRequest(std::span<const uint8_t> frame, ReadRequest& out, std::string& why) {
    if (!checkHeader(frame, code::ReadWithoutEncryption, 12, why)) return false;
    std::copy_n(frame.begin() + 2, 8, out.idm.begin());
    size_t pos = 10;
    size_t services = frame[pos++];
    if (services == 0 || frame.size() < pos + 2 * services + 1) {
        why = std::to_string(services) + " services in a frame of " + std::to_string(frame.size()) + " bytes";
        return false;
    }
    out.serviceCodes.clear();
    for (size_t i = 0; i < services; ++i, pos += 2) out.serviceCodes.push_back(le16(frame, pos));
    size_t blocks = frame[pos++];
    out.blocks.clear();
    for (size_t i = 0; i < blocks; ++i) {
        if (pos >= frame.size()) {
            why = "block list shorter than " + std::to_string(blocks) + " elements";
            return false;
        }
        uint8_t head = frame[pos];
        size_t width = (head & 0x80) ? 2 : 3;
        if (frame.size() - pos < width) {
            why = "block list element cut short";
            return false;
        }
        BlockElement e;
        e.serviceIndex = head & 0x0F;
        e.blockNumber = width == 2 ? frame[pos + 1] : le16(frame, pos + 1);
        out.blocks.push_back(e);
        pos += width;
    }
    if (blocks == 0 || pos != frame.size()) {
        why = "block list does not fill the frame";
        return false;
    }
    return true;
}

Frame buildPollingAnswer(const Idm& idm, const Pmm& pmm, const std::array<uint8_t, 2>* systemCode) {
    Frame f{0, code::PollingResponse};
    append(f, idm);
    append(f, pmm);
    if (systemCode) append(f, *systemCode);
    return finish(std::move(f));
}

Frame buildRequestSystemCodeAnswer(const Idm& idm, std::span<const std::array<uint8_t, 2>> systemCodes) {
    Frame f{0, code::RequestSystemCodeResponse};
    append(f, idm);
    f.push_back(static_cast<uint8_t>(systemCodes.size()));
    for (const auto& s : systemCodes) append(f, s);
    return finish(std::move(f));
}

Frame buildSearchServiceCodeAnswer(const Idm& idm, const SearchAnswer& answer) {
    Frame f{0, code::SearchServiceCodeResponse};
    append(f, idm);
    appendLe16(f, answer.kind == SearchAnswer::End ? EndOfServiceList : answer.code);
    if (answer.kind == SearchAnswer::Area) appendLe16(f, answer.endServiceCode);
    return finish(std::move(f));
}

Frame buildReadAnswer(const Idm& idm, uint8_t statusFlag1, uint8_t statusFlag2, std::span<const uint8_t> blockData) {
    Frame f{0, code::ReadWithoutEncryptionResponse};
    append(f, idm);
    f.push_back(statusFlag1);
    f.push_back(statusFlag2);
    if (statusFlag1 == 0) {
        f.push_back(static_cast<uint8_t>(blockData.size() / BlockSize));
        append(f, blockData);
    }
    return finish(std::move(f));
}

std::string hexText(std::span<const uint8_t> bytes) {
    std::string s;
    char buf[8];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(buf, sizeof buf, i ? " %02X" : "%02X", bytes[i]);
        s += buf;
    }
    return s;
}

}  // namespace tovani::felica
