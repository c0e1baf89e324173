#include <gtest/gtest.h>

#include "platform/felica/pcsc/pcsc_frames.h"
#include "support/bytes.h"

namespace tovani::felica {
namespace {

using namespace pcsc_frames;
using test::Bytes;
using test::concat;

// A polling answer frame of a card, as the reader passes it on.
Bytes pollingAnswer() {
    Idm idm{0x01, 0x01, 0x00, 0x12, 0x34, 0x56, 0x78, 0x9A};
    Pmm pmm{};
    return buildPollingAnswer(idm, pmm, nullptr);
}

TEST(PcscFrames, CommandsAreTheReadersApdus) {
    // Byte strings as readers document them, not as this code builds them.
    EXPECT_EQ(switchToFelica(), (Bytes{0xFF, 0xC2, 0x00, 0x02, 0x04, 0x8F, 0x02, 0x03, 0x00, 0x00}));
    EXPECT_EQ(startSession(), (Bytes{0xFF, 0xC2, 0x00, 0x00, 0x02, 0x81, 0x00, 0x00}));
    EXPECT_EQ(endSession(), (Bytes{0xFF, 0xC2, 0x00, 0x00, 0x02, 0x82, 0x00, 0x00}));
    EXPECT_EQ(getUid(), (Bytes{0xFF, 0xCA, 0x00, 0x00, 0x00}));
    const Frame polling = buildPolling({0xFF, 0xFF}, RequestSystemCodeData, 0);
    EXPECT_EQ(transparentExchange(polling, 1000000),
              (Bytes{0xFF, 0xC2, 0x00, 0x01, 0x0F, 0x5F, 0x46, 0x04, 0x40, 0x42, 0x0F, 0x00, 0x95, 0x06, 0x06, 0x00,
                     0xFF, 0xFF, 0x01, 0x00, 0x00}));

    // Frames past 127 bytes take the two-byte length form; a frame too long
    // for a one-byte Lc is refused rather than sent with a wrong Lc.
    const Bytes frame200(200, 0xAA);
    const Apdu long200 = transparentExchange(frame200);
    ASSERT_EQ(long200.size(), 5u + 7 + 3 + 200 + 1);
    EXPECT_EQ(long200[4], 7 + 3 + 200);
    EXPECT_EQ((Bytes{long200[12], long200[13], long200[14]}), (Bytes{0x95, 0x81, 200}));
    EXPECT_TRUE(transparentExchange(Bytes(250, 0xAA)).empty());
    EXPECT_TRUE(transparentExchange(Bytes{}).empty());
}

TEST(PcscFrames, DataObjectsOfEveryLengthFormAndEveryCutOff) {
    const struct {
        const char* name;
        Bytes bytes;
        bool ok;
        std::vector<std::pair<uint16_t, size_t>> objects;  // tag, value length
    } cases[] = {
        {"empty", {}, true, {}},
        {"short form", {0xC0, 0x03, 0x00, 0x90, 0x00}, true, {{0xC0, 3}}},
        {"two-byte tag", {0x5F, 0x46, 0x04, 1, 2, 3, 4, 0x97, 0x00}, true, {{0x5F46, 4}, {0x97, 0}}},
        {"81 form", concat({{0x97, 0x81, 0x80}, Bytes(0x80, 7)}), true, {{0x97, 0x80}}},
        {"82 form", concat({{0x97, 0x82, 0x01, 0x00}, Bytes(0x100, 7)}), true, {{0x97, 0x100}}},
        {"value past the end", {0x97, 0x05, 1, 2, 3}, false, {}},
        {"81 value past the end", concat({{0x97, 0x81, 0xFF}, Bytes(10, 0)}), false, {}},
        {"82 value past the end", {0x97, 0x82, 0xFF, 0xFF, 0x00}, false, {}},
        {"length missing", {0xC0}, false, {}},
        {"81 length byte missing", {0x97, 0x81}, false, {}},
        {"82 length cut", {0x97, 0x82, 0x01}, false, {}},
        {"second tag byte missing", {0x5F}, false, {}},
        {"three-byte tag", {0x5F, 0x86, 0x01, 0x00}, false, {}},
        {"length form 83", {0x97, 0x83, 0, 0, 1, 0}, false, {}},
        {"length form 80", {0x97, 0x80}, false, {}},
        {"good then cut", {0xC0, 0x03, 0x00, 0x90, 0x00, 0x97}, false, {}},
    };
    for (const auto& c : cases) {
        std::vector<DataObject> objects;
        std::string why;
        const bool ok = parseDataObjects(c.bytes, objects, why);
        EXPECT_EQ(ok, c.ok) << c.name << ": " << why;
        if (!ok) {
            EXPECT_FALSE(why.empty()) << c.name;
            continue;
        }
        ASSERT_EQ(objects.size(), c.objects.size()) << c.name;
        for (size_t i = 0; i < objects.size(); ++i) {
            EXPECT_EQ(objects[i].tag, c.objects[i].first) << c.name;
            EXPECT_EQ(objects[i].value.size(), c.objects[i].second) << c.name;
        }
    }
}

TEST(PcscFrames, EncodedObjectsParseBack) {
    for (size_t n : {0u, 1u, 0x7Fu, 0x80u, 0xFFu, 0x100u, 0x1234u}) {
        Bytes value(n);
        for (size_t i = 0; i < n; ++i) value[i] = static_cast<uint8_t>(i * 7);
        Bytes encoded;
        appendDataObject(encoded, 0x5F46, value);
        appendDataObject(encoded, 0x97, value);
        std::vector<DataObject> objects;
        std::string why;
        ASSERT_TRUE(parseDataObjects(encoded, objects, why)) << n << ": " << why;
        ASSERT_EQ(objects.size(), 2u);
        EXPECT_EQ(objects[0].tag, 0x5F46);
        EXPECT_EQ(Bytes(objects[1].value.begin(), objects[1].value.end()), value) << n;
    }
}

TEST(PcscFrames, ExchangeAnswersAndWhatTheyMean) {
    const Bytes frame = pollingAnswer();
    const Bytes ok{0xC0, 0x03, 0x00, 0x90, 0x00};
    const Bytes sw{0x90, 0x00};
    const Bytes cardFrame = concat({{0x97, static_cast<uint8_t>(frame.size())}, frame});
    using K = SessionAnswer::Kind;
    const struct {
        const char* name;
        Bytes answer;
        bool wellFormed;
        K kind;
    } cases[] = {
        // The shape readers send: status, RF and protocol objects, the frame.
        {"card answered", concat({ok, {0x92, 0x01, 0x00, 0x96, 0x02, 0x00, 0x00}, cardFrame, sw}), true, K::Done},
        {"objects in another order", concat({cardFrame, ok, sw}), true, K::Done},
        // A status word of 90 00 with C0 saying the card did not answer.
        {"no card", concat({{0xC0, 0x03, 0x02, 0x64, 0x01}, sw}), true, K::CardSilent},
        {"warning", concat({{0xC0, 0x03, 0x02, 0x63, 0x00}, sw}), true, K::CardSilent},
        {"empty card frame", concat({ok, {0x97, 0x00}, sw}), true, K::CardSilent},
        {"reader front end failed", concat({{0xC0, 0x03, 0x02, 0x64, 0x00}, sw}), true, K::Refused},
        {"object not supported", concat({{0xC0, 0x03, 0x01, 0x6A, 0x81}, sw}), true, K::Refused},
        {"command refused", {0x6A, 0x81}, true, K::Refused},
        {"instruction unknown", {0x6D, 0x00}, true, K::Refused},
        // Malformed: never an out-of-bounds read, always a reason.
        {"nothing", {}, false, K::Refused},
        {"one byte", {0x90}, false, K::Refused},
        {"status word only", sw, false, K::Refused},
        {"no status object", concat({cardFrame, sw}), false, K::Refused},
        {"no card frame", concat({ok, sw}), false, K::Refused},
        {"card frame past the end", concat({ok, {0x97, 0x20, 0x06, 0x01}, sw}), false, K::Refused},
        {"status object short", concat({{0xC0, 0x02, 0x90, 0x00}, cardFrame, sw}), false, K::Refused},
        {"two status objects", concat({ok, ok, cardFrame, sw}), false, K::Refused},
        {"two card frames", concat({ok, cardFrame, cardFrame, sw}), false, K::Refused},
        {"longer than the buffer", concat({ok, {0x97, 0x82, 0x01, 0x00}, Bytes(0x100, 0x11), sw}), false,
         K::Refused},
    };
    for (const auto& c : cases) {
        SessionAnswer a;
        std::string why;
        const bool wellFormed = parseSessionAnswer(c.answer, true, a, why);
        EXPECT_EQ(wellFormed, c.wellFormed) << c.name << ": " << why;
        if (!wellFormed || a.kind != K::Done) {
            EXPECT_FALSE(why.empty()) << c.name;
        }
        if (!wellFormed) continue;
        EXPECT_EQ(a.kind, c.kind) << c.name << ": " << why;
        if (a.kind == K::Done) {
            EXPECT_EQ(*a.cardFrame, frame) << c.name;
        }
    }
}

TEST(PcscFrames, SessionCommandsNeedNoCardFrame) {
    SessionAnswer a;
    std::string why;
    EXPECT_TRUE(parseSessionAnswer(Bytes{0x90, 0x00}, false, a, why)) << why;
    EXPECT_EQ(a.kind, SessionAnswer::Done);
    EXPECT_TRUE(parseSessionAnswer(Bytes{0xC0, 0x03, 0x00, 0x90, 0x00, 0x90, 0x00}, false, a, why)) << why;
    EXPECT_EQ(a.kind, SessionAnswer::Done);
    EXPECT_TRUE(parseSessionAnswer(Bytes{0xC0, 0x03, 0x01, 0x6A, 0x81, 0x90, 0x00}, false, a, why));
    EXPECT_EQ(a.kind, SessionAnswer::Refused);
    EXPECT_FALSE(parseSessionAnswer(Bytes{0xC0, 0x05, 0x00, 0x90, 0x00}, false, a, why));
}

TEST(PcscFrames, UidAnswerAndFelicaAtr) {
    std::vector<uint8_t> uid;
    std::string why;
    ASSERT_TRUE(parseUidAnswer(Bytes{1, 2, 3, 4, 5, 6, 7, 8, 0x90, 0x00}, uid, why)) << why;
    EXPECT_EQ(uid, (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_FALSE(parseUidAnswer(Bytes{0x90, 0x00}, uid, why));
    EXPECT_FALSE(parseUidAnswer(Bytes{0x6A, 0x81}, uid, why));
    EXPECT_FALSE(parseUidAnswer(Bytes{0x00}, uid, why));

    EXPECT_TRUE(atrIsFelica(FelicaAtr));
    // A contactless memory card of another kind (same provider, other standard).
    const Bytes other{0x3B, 0x8F, 0x80, 0x01, 0x80, 0x4F, 0x0C, 0xA0, 0x00, 0x00,
                      0x03, 0x06, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x6A};
    EXPECT_FALSE(atrIsFelica(other));
    EXPECT_FALSE(atrIsFelica(Bytes{0x3B}));
}

}  // namespace
}  // namespace tovani::felica
