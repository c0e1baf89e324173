#pragma once

// FeliCa command frames: every command the component sends is built here and
// every answer is parsed here. A frame starts with its length byte (which
// counts itself), then the command or response code. Parsers check every
// length before they read and refuse anything that does not add up.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tovani::felica {

using Frame = std::vector<uint8_t>;
using Idm = std::array<uint8_t, 8>;
using Pmm = std::array<uint8_t, 8>;

namespace code {
constexpr uint8_t Polling = 0x00;
constexpr uint8_t PollingResponse = 0x01;
constexpr uint8_t ReadWithoutEncryption = 0x06;
constexpr uint8_t ReadWithoutEncryptionResponse = 0x07;
constexpr uint8_t SearchServiceCode = 0x0A;
constexpr uint8_t SearchServiceCodeResponse = 0x0B;
constexpr uint8_t RequestSystemCode = 0x0C;
constexpr uint8_t RequestSystemCodeResponse = 0x0D;
}  // namespace code

// Polling request codes.
constexpr uint8_t RequestNone = 0x00;
constexpr uint8_t RequestSystemCodeData = 0x01;

// Largest frame the length byte can describe.
constexpr size_t MaxFrameLength = 255;
constexpr size_t BlockSize = 16;
// Search Service Code: the index answer that ends the list.
constexpr uint16_t EndOfServiceList = 0xFFFF;

// One element of a block list: which service of the command's list, which block.
struct BlockElement {
    uint8_t serviceIndex = 0;
    uint16_t blockNumber = 0;
};

// --- building commands -------------------------------------------------------

// Polling: [06] [00] [system code, 2 bytes as sent] [request code] [time slot].
Frame buildPolling(std::array<uint8_t, 2> systemCode, uint8_t requestCode, uint8_t timeSlot);
// Request System Code: [0A] [0C] [IDm].
Frame buildRequestSystemCode(const Idm& idm);
// Search Service Code: [0C] [0A] [IDm] [index, low byte first].
Frame buildSearchServiceCode(const Idm& idm, uint16_t index);
// Read Without Encryption: [len] [06] [IDm] [service count] [service codes, low
// byte first] [block count] [block list]. Block numbers below 256 travel as
// two-byte elements (0x80 | service index, block), others as three bytes.
// Empty when the frame would not fit its length byte or the lists are empty.
Frame buildReadWithoutEncryption(const Idm& idm, std::span<const uint16_t> serviceCodes,
                                 std::span<const BlockElement> blocks);

// --- parsing answers ---------------------------------------------------------

struct PollingAnswer {
    Idm idm{};
    Pmm pmm{};
    bool hasSystemCode = false;
    std::array<uint8_t, 2> systemCode{};
};

struct ReadAnswer {
    uint8_t statusFlag1 = 0;
    uint8_t statusFlag2 = 0;
    std::vector<uint8_t> blockData;  // 16 bytes per block, only when both flags are 0
    size_t blockCount() const { return blockData.size() / BlockSize; }
};

// What Search Service Code answered for one index.
struct SearchAnswer {
    enum Kind { Service, Area, End } kind = End;
    uint16_t code = 0;            // service or area code
    uint16_t endServiceCode = 0;  // areas only
};

// Each parser answers true when the frame is well formed; otherwise it leaves
// a short reason in `why` (for the second error value and for tests).
bool parsePolling(std::span<const uint8_t> frame, PollingAnswer& out, std::string& why);
bool parseRequestSystemCode(std::span<const uint8_t> frame, const Idm& idm,
                            std::vector<std::array<uint8_t, 2>>& systemCodes, std::string& why);
bool parseSearchServiceCode(std::span<const uint8_t> frame, const Idm& idm, SearchAnswer& out,
                            std::string& why);
// requestedBlocks: how many blocks the command asked for; a card answering
// with more is refused.
bool parseReadWithoutEncryption(std::span<const uint8_t> frame, const Idm& idm, size_t requestedBlocks,
                                ReadAnswer& out, std::string& why);

// Read Without Encryption as a simulated card sees it.
struct ReadRequest {
    Idm idm{};
    std::vector<uint16_t> serviceCodes;
    std::vector<BlockElement> blocks;
};
bool parseReadRequest(std::span<const uint8_t> frame, ReadRequest& out, std::string& why);

// Answers as a simulated card builds them.
Frame buildPollingAnswer(const Idm& idm, const Pmm& pmm, const std::array<uint8_t, 2>* systemCode);
Frame buildRequestSystemCodeAnswer(const Idm& idm, std::span<const std::array<uint8_t, 2>> systemCodes);
Frame buildSearchServiceCodeAnswer(const Idm& idm, const SearchAnswer& answer);
Frame buildReadAnswer(const Idm& idm, uint8_t statusFlag1, uint8_t statusFlag2,
                      std::span<const uint8_t> blockData);

// Frame as "06 00 FF FF 01 00", for messages and tests.
std::string hexText(std::span<const uint8_t> bytes);

}  // namespace tovani::felica
