#include <gtest/gtest.h>

#include "platform/felica/felica_frames.h"

namespace tovani::felica {
namespace {

const Idm kIdm{0x01, 0x16, 0x05, 0x00, 0x12, 0x34, 0x56, 0x78};

TEST(FelicaFrames, CommandsCarryTheirBytes) {
    EXPECT_EQ(hexText(buildPolling({0xFF, 0xFF}, RequestSystemCodeData, 0)), "06 00 FF FF 01 00");
    EXPECT_EQ(hexText(buildRequestSystemCode(kIdm)), "0A 0C 01 16 05 00 12 34 56 78");
    EXPECT_EQ(hexText(buildSearchServiceCode(kIdm, 0x0102)), "0C 0A 01 16 05 00 12 34 56 78 02 01");
    const uint16_t services[] = {0x090F};
    const BlockElement blocks[] = {{0, 0}, {0, 19}, {0, 0x123}};
    EXPECT_EQ(hexText(buildReadWithoutEncryption(kIdm, services, blocks)),
              "15 06 01 16 05 00 12 34 56 78 01 0F 09 03 80 00 80 13 00 23 01");
}

TEST(FelicaFrames, ReadCommandThatCannotBeFramedIsEmpty) {
    const uint16_t services[] = {0x090F};
    std::vector<BlockElement> many(90, BlockElement{0, 300});  // 3 bytes each: past 255
    EXPECT_TRUE(buildReadWithoutEncryption(kIdm, services, many).empty());
    EXPECT_TRUE(buildReadWithoutEncryption(kIdm, services, {}).empty());
    const BlockElement wrongService[] = {{1, 0}};
    EXPECT_TRUE(buildReadWithoutEncryption(kIdm, services, wrongService).empty());
}

TEST(FelicaFrames, AnswersRoundTrip) {
    const Pmm pmm{1, 2, 3, 4, 5, 6, 7, 8};
    const std::array<uint8_t, 2> sc{0xFE, 0x00};
    PollingAnswer p;
    std::string why;
    ASSERT_TRUE(parsePolling(buildPollingAnswer(kIdm, pmm, &sc), p, why)) << why;
    EXPECT_EQ(p.idm, kIdm);
    EXPECT_EQ(p.pmm, pmm);
    EXPECT_TRUE(p.hasSystemCode);
    EXPECT_EQ(p.systemCode, sc);

    const std::array<uint8_t, 2> codes[] = {{0xFE, 0x00}, {0x00, 0x03}};
    std::vector<std::array<uint8_t, 2>> got;
    ASSERT_TRUE(parseRequestSystemCode(buildRequestSystemCodeAnswer(kIdm, codes), kIdm, got, why)) << why;
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[1], codes[1]);

    SearchAnswer s;
    ASSERT_TRUE(parseSearchServiceCode(buildSearchServiceCodeAnswer(kIdm, {SearchAnswer::Service, 0x090F, 0}), kIdm,
                                       s, why));
    EXPECT_EQ(s.kind, SearchAnswer::Service);
    EXPECT_EQ(s.code, 0x090F);
    ASSERT_TRUE(parseSearchServiceCode(buildSearchServiceCodeAnswer(kIdm, {SearchAnswer::Area, 0, 0xFFFE}), kIdm, s,
                                       why));
    EXPECT_EQ(s.kind, SearchAnswer::Area);
    EXPECT_EQ(s.endServiceCode, 0xFFFE);
    ASSERT_TRUE(parseSearchServiceCode(buildSearchServiceCodeAnswer(kIdm, {}), kIdm, s, why));
    EXPECT_EQ(s.kind, SearchAnswer::End);

    std::vector<uint8_t> data(32, 0xAB);
    ReadAnswer r;
    ASSERT_TRUE(parseReadWithoutEncryption(buildReadAnswer(kIdm, 0, 0, data), kIdm, 2, r, why)) << why;
    EXPECT_EQ(r.blockCount(), 2u);
    ASSERT_TRUE(parseReadWithoutEncryption(buildReadAnswer(kIdm, 1, 0xA8, {}), kIdm, 2, r, why));
    EXPECT_EQ(r.statusFlag1, 1);
    EXPECT_EQ(r.statusFlag2, 0xA8);
    EXPECT_EQ(r.blockCount(), 0u);
}

TEST(FelicaFrames, MalformedAnswersAreRefused) {
    std::string why;
    PollingAnswer p;
    EXPECT_FALSE(parsePolling(Frame{}, p, why));
    EXPECT_FALSE(parsePolling(Frame{0x12, 0x01, 1, 2, 3}, p, why));  // length byte says 18, 5 bytes came
    Frame poll = buildPollingAnswer(kIdm, {}, nullptr);
    poll.push_back(0);  // 19 bytes: neither 18 nor 20
    poll[0] = 19;
    EXPECT_FALSE(parsePolling(poll, p, why));
    Frame wrongCode = buildPollingAnswer(kIdm, {}, nullptr);
    wrongCode[1] = 0x07;
    EXPECT_FALSE(parsePolling(wrongCode, p, why));

    // System code count beyond the frame.
    std::vector<std::array<uint8_t, 2>> codes;
    Frame sys = buildRequestSystemCodeAnswer(kIdm, std::vector<std::array<uint8_t, 2>>{{0xFE, 0x00}});
    sys[10] = 200;
    EXPECT_FALSE(parseRequestSystemCode(sys, kIdm, codes, why));
    EXPECT_TRUE(codes.empty());
    // Answer of another card.
    Idm other = kIdm;
    other[7] ^= 1;
    EXPECT_FALSE(parseRequestSystemCode(buildRequestSystemCodeAnswer(other, {}), kIdm, codes, why));

    SearchAnswer s;
    Frame search = buildSearchServiceCodeAnswer(kIdm, {SearchAnswer::Service, 0x090F, 0});
    search.push_back(0);
    search[0] = static_cast<uint8_t>(search.size());  // 13 bytes: neither 12 nor 14
    EXPECT_FALSE(parseSearchServiceCode(search, kIdm, s, why));

    ReadAnswer r;
    std::vector<uint8_t> data(48, 1);
    Frame read = buildReadAnswer(kIdm, 0, 0, data);
    EXPECT_FALSE(parseReadWithoutEncryption(read, kIdm, 2, r, why));  // 3 blocks for 2 asked
    read[12] = 4;                                                      // count beyond the data
    EXPECT_FALSE(parseReadWithoutEncryption(read, kIdm, 20, r, why));
    read[12] = 0;
    EXPECT_FALSE(parseReadWithoutEncryption(read, kIdm, 20, r, why));
    Frame noCount = buildReadAnswer(kIdm, 0, 0, {});
    noCount.pop_back();
    noCount[0] = static_cast<uint8_t>(noCount.size());
    EXPECT_FALSE(parseReadWithoutEncryption(noCount, kIdm, 1, r, why));
    Frame lying = buildReadAnswer(kIdm, 0, 0, data);
    lying[0] = 0x20;  // length byte smaller than the frame
    EXPECT_FALSE(parseReadWithoutEncryption(lying, kIdm, 3, r, why));
    EXPECT_FALSE(why.empty());
}

TEST(FelicaFrames, ReadRequestAsTheCardSeesIt) {
    const uint16_t services[] = {0x170F};
    const BlockElement blocks[] = {{0, 5}, {0, 0x104}};
    ReadRequest req;
    std::string why;
    ASSERT_TRUE(parseReadRequest(buildReadWithoutEncryption(kIdm, services, blocks), req, why)) << why;
    EXPECT_EQ(req.idm, kIdm);
    ASSERT_EQ(req.serviceCodes.size(), 1u);
    EXPECT_EQ(req.serviceCodes[0], 0x170F);
    ASSERT_EQ(req.blocks.size(), 2u);
    EXPECT_EQ(req.blocks[0].blockNumber, 5);
    EXPECT_EQ(req.blocks[1].blockNumber, 0x104);

    Frame cut = buildReadWithoutEncryption(kIdm, services, blocks);
    cut[13] = 5;  // five blocks announced, two listed
    EXPECT_FALSE(parseReadRequest(cut, req, why));
    Frame manyServices = buildReadWithoutEncryption(kIdm, services, blocks);
    manyServices[10] = 100;
    EXPECT_FALSE(parseReadRequest(manyServices, req, why));
}

}  // namespace
}  // namespace tovani::felica
