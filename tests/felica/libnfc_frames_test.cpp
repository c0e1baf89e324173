#include <gtest/gtest.h>

#include <nfc/nfc.h>

#include "platform/felica/libnfc_reader.h"

namespace tovani::felica {
namespace {

using namespace libnfc_frames;

TEST(LibnfcFrames, PollingGoesToTargetSelectionWithoutItsLengthByte) {
    EXPECT_EQ(pollingInitData(buildPolling({0xFF, 0xFF}, RequestSystemCodeData, 0)),
              (std::vector<uint8_t>{0x00, 0xFF, 0xFF, 0x01, 0x00}));
    const Idm idm{};
    EXPECT_TRUE(pollingInitData(buildRequestSystemCode(idm)).empty());
    EXPECT_TRUE(pollingInitData(Frame{0x06, 0x00, 0xFF}).empty());
}

TEST(LibnfcFrames, PollingAnswerIsRebuiltFromTheTarget) {
    nfc_felica_info info{};
    info.szLen = 20;
    info.btResCode = 0x01;
    for (uint8_t i = 0; i < 8; ++i) info.abtId[i] = static_cast<uint8_t>(0x10 + i), info.abtPad[i] = i;
    info.abtSysCode[0] = 0x00;
    info.abtSysCode[1] = 0x03;
    auto frame = pollingAnswerFromTarget(info);
    ASSERT_TRUE(frame);
    PollingAnswer p;
    std::string why;
    ASSERT_TRUE(parsePolling(*frame, p, why)) << why;
    EXPECT_EQ(p.idm[7], 0x17);
    EXPECT_TRUE(p.hasSystemCode);
    EXPECT_EQ(p.systemCode[1], 0x03);

    info.szLen = 18;
    frame = pollingAnswerFromTarget(info);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->size(), 18u);
    info.szLen = 200;  // not a polling answer
    EXPECT_FALSE(pollingAnswerFromTarget(info));
    info.szLen = 18;
    info.btResCode = 0x07;
    EXPECT_FALSE(pollingAnswerFromTarget(info));
}

TEST(LibnfcFrames, TransceiveResultsAreChecked) {
    Frame response;
    std::array<uint8_t, 255> rx{};
    Frame answer = buildReadAnswer(Idm{}, 1, 0xA8, {});
    std::copy(answer.begin(), answer.end(), rx.begin());
    EXPECT_EQ(classifyTransceive(static_cast<int>(answer.size()), rx, response), Exchange::Answered);
    EXPECT_EQ(response, answer);
    // Byte count and length byte disagree, or more bytes than the buffer.
    EXPECT_EQ(classifyTransceive(static_cast<int>(answer.size()) - 1, rx, response), Exchange::NoAnswer);
    EXPECT_TRUE(response.empty());
    EXPECT_EQ(classifyTransceive(300, rx, response), Exchange::NoAnswer);
    EXPECT_EQ(classifyTransceive(0, rx, response), Exchange::NoAnswer);
    // A silent card is reported by the chip; a silent chip is a reader gone.
    EXPECT_EQ(classifyTransceive(NFC_ERFTRANS, rx, response), Exchange::NoAnswer);
    EXPECT_EQ(classifyTransceive(NFC_ETGRELEASED, rx, response), Exchange::NoAnswer);
    EXPECT_EQ(classifyTransceive(NFC_ETIMEOUT, rx, response), Exchange::ReaderFault);
    EXPECT_EQ(classifyTransceive(NFC_EIO, rx, response), Exchange::ReaderFault);
    EXPECT_EQ(classifyTransceive(NFC_ENOTSUCHDEV, rx, response), Exchange::ReaderFault);
}

}  // namespace
}  // namespace tovani::felica
