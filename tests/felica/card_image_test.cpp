#include <gtest/gtest.h>

#include <cstdio>

#include "platform/felica/card_image.h"

namespace tovani::felica {
namespace {

const char* const kBlock = "0123456789abcdef0123456789ABCDEF";

std::string image(const std::string& idm, const std::string& block, const std::string& code = "090F") {
    return R"({"comment": "x", "systems": [{"system_code": "0003", "idm": ")" + idm +
           R"(", "services": [{"code": ")" + code + R"(", "blocks": [")" + block + R"("]}]}]})";
}

TEST(CardImage, ParsesTheContractFormat) {
    CardImage c;
    std::string why;
    ASSERT_TRUE(parseCardImage(image("0116050012345678", kBlock), c, why)) << why;
    EXPECT_EQ(c.pmm, Pmm{});  // absent: all zero
    ASSERT_EQ(c.systems.size(), 1u);
    EXPECT_EQ(c.systems[0].systemCode, (std::array<uint8_t, 2>{0x00, 0x03}));
    EXPECT_EQ(c.systems[0].idm[1], 0x16);
    ASSERT_EQ(c.systems[0].services.size(), 1u);
    EXPECT_EQ(c.systems[0].services[0].code, 0x090F);
    EXPECT_EQ(c.systems[0].services[0].blocks[0][5], 0xAB);  // lower case accepted
    EXPECT_EQ(c.systems[0].services[0].blocks[0][15], 0xEF);

    CardImage again;
    ASSERT_TRUE(parseCardImage(cardImageToJson(c), again, why)) << why;
    EXPECT_EQ(again.systems[0].services[0].blocks, c.systems[0].services[0].blocks);
    EXPECT_EQ(again.systems[0].idm, c.systems[0].idm);
}

TEST(CardImage, MalformedImagesAreRefusedWithTheReason) {
    struct Case {
        std::string text;
        std::string reason;
    };
    const Case cases[] = {
        {"{\"systems\": [", "not valid JSON"},
        {"[]", "not a JSON object"},
        {R"({"systems": []})", "systems"},
        {image("01160500123456", kBlock), "systems[0].idm: not 16 hex digits"},
        {image("011605001234567G", kBlock), "systems[0].idm: not 16 hex digits"},
        {image("0116050012345678", "0123"), "systems[0].services[0].blocks[0]: not 32 hex digits"},
        {image("0116050012345678", std::string(kBlock) + "00"), "blocks[0]: not 32 hex digits"},
        {image("0116050012345678", "0123456789abcdef0123456789ABCDEZ"), "blocks[0]: not 32 hex digits"},
        {image("0116050012345678", kBlock, "90F"), "services[0].code: not 4 hex digits"},
        {R"({"pmm": 5, "systems": [{"system_code": "FE00", "idm": "0116050012345678"}]})", "pmm"},
        {R"({"systems": [{"system_code": "FE00", "idm": "0116050012345678", "services": [{"code": "170F"}]}]})",
         "blocks: missing"},
    };
    for (const Case& c : cases) {
        CardImage out;
        std::string why;
        EXPECT_FALSE(parseCardImage(c.text, out, why)) << c.text;
        EXPECT_NE(why.find(c.reason), std::string::npos) << c.text << " -> " << why;
    }
}

std::string imageOfSystems(size_t count) {
    std::string text = R"({"systems": [)";
    for (size_t i = 0; i < count; ++i) {
        char code[17];
        std::snprintf(code, sizeof code, "%04zX", i);
        text += std::string(i ? ", " : "") + R"({"system_code": ")" + code + R"(", "idm": "0116050012345678"})";
    }
    return text + "]}";
}

// The Request System Code answer holds at most 122 systems; an image with more
// would make the card answer an empty frame, so it is refused as malformed.
TEST(CardImage, AsManySystemsAsOneAnswerCanList) {
    for (size_t count : {size_t{123}, size_t{255}}) {
        CardImage out;
        std::string why;
        EXPECT_FALSE(parseCardImage(imageOfSystems(count), out, why)) << count;
        EXPECT_NE(why.find("systems: more than 122"), std::string::npos) << why;
    }

    CardImage full;
    std::string why;
    ASSERT_TRUE(parseCardImage(imageOfSystems(122), full, why)) << why;
    SimulatedCard card(full);
    const Idm idm{0x01, 0x16, 0x05, 0x00, 0x12, 0x34, 0x56, 0x78};
    const auto answer = card.respond(buildRequestSystemCode(idm));
    ASSERT_TRUE(answer);
    std::vector<std::array<uint8_t, 2>> codes;
    ASSERT_TRUE(parseRequestSystemCode(*answer, idm, codes, why)) << why;
    ASSERT_EQ(codes.size(), 122u);
    EXPECT_EQ(codes[121], (std::array<uint8_t, 2>{0x00, 0x79}));
}

class SimulatedCardTest : public ::testing::Test {
protected:
    SimulatedCardTest() {
        SystemImage fe{{0xFE, 0x00}, {1, 1, 1, 1, 1, 1, 1, 1}, {}};
        ServiceImage history{0x170F, {}};
        for (uint8_t i = 0; i < 6; ++i) history.blocks.push_back(Block{i});
        fe.services.push_back(history);
        SystemImage transit{{0x00, 0x03}, {2, 2, 2, 2, 2, 2, 2, 2}, {}};
        card_.systems = {fe, transit};
    }
    CardImage card_;
};

TEST_F(SimulatedCardTest, AnswersPollingBySystemCode) {
    SimulatedCard card(card_);
    std::string why;
    PollingAnswer p;
    auto a = card.respond(buildPolling({0x00, 0x03}, RequestSystemCodeData, 0));
    ASSERT_TRUE(a);
    ASSERT_TRUE(parsePolling(*a, p, why));
    EXPECT_EQ(p.idm[0], 2);
    EXPECT_EQ(p.systemCode, (std::array<uint8_t, 2>{0x00, 0x03}));
    a = card.respond(buildPolling({0xFF, 0xFF}, RequestNone, 0));
    ASSERT_TRUE(a);
    ASSERT_TRUE(parsePolling(*a, p, why));
    EXPECT_EQ(p.idm[0], 1);  // wildcard: the first system
    EXPECT_FALSE(p.hasSystemCode);
    EXPECT_FALSE(card.respond(buildPolling({0x88, 0xB4}, RequestNone, 0)));
    EXPECT_FALSE(card.respond(Frame{0x09, 0x00}));  // length byte disagrees
}

TEST_F(SimulatedCardTest, RefusesBlocksPastTheEndAndTooLongReads) {
    SimulatedCard card(card_, 4);
    const Idm idm{1, 1, 1, 1, 1, 1, 1, 1};
    const uint16_t history[] = {0x170F};
    const uint16_t missing[] = {0x090F};
    std::string why;
    ReadAnswer r;
    auto read = [&](std::span<const uint16_t> services, std::vector<BlockElement> blocks) {
        auto a = card.respond(buildReadWithoutEncryption(idm, services, blocks));
        EXPECT_TRUE(a);
        EXPECT_TRUE(parseReadWithoutEncryption(*a, idm, blocks.size(), r, why)) << why;
    };
    read(history, {{0, 4}, {0, 5}});
    EXPECT_EQ(r.blockCount(), 2u);
    EXPECT_EQ(r.blockData[16], 5);
    read(history, {{0, 5}, {0, 6}});
    EXPECT_EQ(r.statusFlag1, 2);  // the second element
    EXPECT_EQ(r.statusFlag2, 0xA8);
    read(history, {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 4}});
    EXPECT_EQ(r.statusFlag2, 0xA2);
    read(missing, {{0, 0}});
    EXPECT_EQ(r.statusFlag2, 0xA6);
}

}  // namespace
}  // namespace tovani::felica
