#pragma once

// The frames of the older USB FeliCa reader (RC-S380 class, vendor 054C,
// products 06C1 and 06C3) on its bulk endpoints. The host sends every
// command in the extended form
//
//   00 00 FF FF FF LEN_L LEN_H LCS DATA... DCS 00
//
// (LCS makes LEN_L + LEN_H + LCS zero modulo 256, DCS makes the sum of DATA
// and DCS zero); the device may answer in the short form
// 00 00 FF LEN LCS DATA... DCS 00 as well. A command is DATA = D6 cmd
// params; the device acknowledges it (00 00 FF 00 FF 00), then answers
// D7 cmd+1 results. An ACK from the host aborts the command in progress.
// Every parser checks each length before it reads.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/felica/felica_frames.h"

namespace tovani::felica::usb_frames {

constexpr uint16_t VendorId = 0x054C;
constexpr std::array<uint16_t, 2> ProductIds{0x06C1, 0x06C3};

// Most DATA bytes one frame carries, either way.
constexpr size_t MaxData = 290;
// Most bytes one bulk read can bring (the frame around MaxData).
constexpr size_t MaxTransfer = 300;

constexpr std::array<uint8_t, 6> Ack{0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00};
constexpr std::array<uint8_t, 6> ErrorFrame{0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00};

constexpr uint8_t HostToDevice = 0xD6;
constexpr uint8_t DeviceToHost = 0xD7;

namespace cmd {
constexpr uint8_t InSetRF = 0x00;
constexpr uint8_t InSetProtocol = 0x02;
constexpr uint8_t InCommRF = 0x04;
constexpr uint8_t SwitchRF = 0x06;
constexpr uint8_t GetFirmwareVersion = 0x20;
constexpr uint8_t SetCommandType = 0x2A;
}  // namespace cmd

// InCommRF error mask bits.
namespace rf {
constexpr uint32_t ProtocolError = 0x00000001;
constexpr uint32_t ParityError = 0x00000002;
constexpr uint32_t CrcError = 0x00000004;
constexpr uint32_t CollisionError = 0x00000008;
constexpr uint32_t OverflowError = 0x00000010;
constexpr uint32_t ReceiveTimeout = 0x00000080;
constexpr uint32_t ReceiveLengthError = 0x80000000;
// The card's answer did not arrive whole: the card was silent, moved or
// answered garbled. Any other bit is the device's own failure.
constexpr uint32_t CardAnswerLost =
    ProtocolError | ParityError | CrcError | CollisionError | OverflowError | ReceiveTimeout | ReceiveLengthError;
}  // namespace rf

// The FeliCa frame of InCommRF starts after D7 05, the mask and one byte.
constexpr size_t InCommRfAnswerHead = 7;
// Blocks one Read Without Encryption may ask for: its answer (13 bytes and
// 16 per block) must fit the card's length byte and, behind the InCommRF
// head, one device frame.
constexpr size_t MaxBlocksPerRead =
    std::min((MaxFrameLength - 13) / BlockSize, (MaxData - InCommRfAnswerHead - 13) / BlockSize);

// DATA in the extended form; empty when DATA is empty or longer than MaxData.
std::vector<uint8_t> frame(std::span<const uint8_t> data);
// The same in the short form (at most 255 bytes), as the device may answer.
std::vector<uint8_t> shortFrame(std::span<const uint8_t> data);
// A command frame: D6 code params.
std::vector<uint8_t> command(uint8_t code, std::span<const uint8_t> params);

struct Parsed {
    enum Kind { Acknowledgement, DeviceError, Data } kind = DeviceError;
    std::vector<uint8_t> data;  // Data only
};
// One frame as one bulk read brought it; false with the reason when it is
// not exactly one well-formed frame.
bool parseFrame(std::span<const uint8_t> bytes, Parsed& out, std::string& why);

// The results of the answer D7 code+1 results to a command `code`.
bool answerResults(std::span<const uint8_t> data, uint8_t code, std::vector<uint8_t>& results, std::string& why);

// InCommRF parameters: the timeout in units of 0.1 ms, little endian, then
// the FeliCa frame with its length byte.
std::vector<uint8_t> inCommRfParams(uint16_t timeout, std::span<const uint8_t> felicaFrame);

struct CommAnswer {
    uint32_t errorMask = 0;
    Frame cardFrame;  // only when errorMask is 0
};
// InCommRF results (after D7 05): the mask, one byte, then the card's frame,
// whose length byte must match what arrived.
bool parseInCommRf(std::span<const uint8_t> results, CommAnswer& out, std::string& why);

// The InCommRF timeout for a FeliCa command frame, in 0.1 ms: fixed for
// Polling, worked out from the card's PMm for the others (the maximum
// response time the card announces for that kind of command).
uint16_t pollingTimeout();
uint16_t commandTimeout(const Pmm& pmm, std::span<const uint8_t> felicaFrame);

}  // namespace tovani::felica::usb_frames

namespace tovani::felica {

// "<bus>:<address>" for TOVANI_READER=usb:<bus>:<address>: two decimal
// numbers; false when the text is not of that form.
bool parseUsbBusAddress(const std::string& text, uint8_t& bus, uint8_t& address);

}  // namespace tovani::felica
