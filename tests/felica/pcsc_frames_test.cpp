#include <gtest/gtest.h>

#include "platform/felica/pcsc/acs_frames.h"
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
        {"another object failed", concat({{0xC0, 0x03, 0x02, 0x63, 0x01}, sw}), true, K::Failed},
        {"object not supported", concat({{0xC0, 0x03, 0x01, 0x6A, 0x81}, sw}), true, K::Failed},
        {"command refused", {0x6A, 0x81}, true, K::Failed},
        {"instruction unknown", {0x6D, 0x00}, true, K::Failed},
        // Malformed: never an out-of-bounds read, always a reason.
        {"nothing", {}, false, K::Failed},
        {"one byte", {0x90}, false, K::Failed},
        {"status word only", sw, false, K::Failed},
        {"no status object", concat({cardFrame, sw}), false, K::Failed},
        {"no card frame", concat({ok, sw}), false, K::Failed},
        {"card frame past the end", concat({ok, {0x97, 0x20, 0x06, 0x01}, sw}), false, K::Failed},
        {"status object short", concat({{0xC0, 0x02, 0x90, 0x00}, cardFrame, sw}), false, K::Failed},
        {"two status objects", concat({ok, ok, cardFrame, sw}), false, K::Failed},
        {"two card frames", concat({ok, cardFrame, cardFrame, sw}), false, K::Failed},
        {"longer than the buffer", concat({ok, {0x97, 0x82, 0x01, 0x00}, Bytes(0x100, 0x11), sw}), false,
         K::Failed},
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
    EXPECT_EQ(a.kind, SessionAnswer::Failed);
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
    // The ACR122T names a FeliCa card its own way (standard 03, name F0 11).
    EXPECT_TRUE(atrIsFelica(Bytes{0x3B, 0x8F, 0x80, 0x01, 0x80, 0x4F, 0x0C, 0xA0, 0x00, 0x00, 0x03, 0x06, 0x03,
                                  0xF0, 0x11, 0x00, 0x00, 0x00, 0x00, 0x8A}));
    EXPECT_FALSE(atrIsFelica(Bytes{0xA0, 0x00, 0x00, 0x03, 0x06, 0x03, 0xF0}));
}

// What real RC-S300 readers answered through pcscd, byte for byte as the
// public captures show it.
TEST(PcscFrames, AnswersCapturedFromRealReaders) {
    const Bytes idm{0x01, 0x2E, 0x4C, 0xD5, 0x00, 0xA0, 0x0F, 0x72};
    const Bytes pmm{0x03, 0x01, 0x4B, 0x02, 0x4F, 0x49, 0x93, 0xFF};
    using K = SessionAnswer::Kind;
    const struct {
        const char* name;
        Bytes answer;
        bool exchange;  // the answer of a transparent exchange (else a session command)
        K kind;
        Bytes cardFrame;
    } cases[] = {
        {"session started", {0xC0, 0x03, 0x00, 0x90, 0x00, 0x90, 0x00}, false, K::Done, {}},
        {"polling answered",
         concat({{0xC0, 0x03, 0x00, 0x90, 0x00, 0x92, 0x01, 0x00, 0x96, 0x02, 0x00, 0x00, 0x97, 0x14, 0x14, 0x01},
                 idm, pmm, {0x00, 0x03, 0x90, 0x00}}),
         true, K::Done, concat({{0x14, 0x01}, idm, pmm, {0x00, 0x03}})},
        // Status flags 01 A6: no such service (the card's answer, passed on).
        {"read of a missing service",
         concat({{0xC0, 0x03, 0x00, 0x90, 0x00, 0x92, 0x01, 0x00, 0x96, 0x02, 0x00, 0x00, 0x97, 0x0C, 0x0C, 0x07},
                 idm, {0x01, 0xA6, 0x90, 0x00}}),
         true, K::Done, concat({{0x0C, 0x07}, idm, {0x01, 0xA6}})},
        {"no card", {0xC0, 0x03, 0x02, 0x64, 0x01, 0x90, 0x00}, true, K::CardSilent, {}},
        {"no answer at all", {0xC0, 0x03, 0x01, 0x64, 0x00, 0x90, 0x00}, true, K::CardSilent, {}},
        {"command refused", {0xC0, 0x03, 0x01, 0x6A, 0x80, 0x90, 0x00}, true, K::Refused, {}},
    };
    for (const auto& c : cases) {
        SessionAnswer a;
        std::string why;
        ASSERT_TRUE(parseSessionAnswer(c.answer, c.exchange, a, why)) << c.name << ": " << why;
        EXPECT_EQ(a.kind, c.kind) << c.name << ": " << why;
        if (c.kind == K::Done && c.exchange) {
            EXPECT_EQ(*a.cardFrame, c.cardFrame) << c.name;
        }
    }
}

// ACS readers' direct transmit, as their manuals give the answers.
TEST(AcsFrames, CommandsAndAnswers) {
    using namespace acs_frames;
    const Frame polling = buildPolling({0xFF, 0xFF}, RequestNone, 0);
    EXPECT_EQ(pn532Polling(polling), (Bytes{0xFF, 0x00, 0x00, 0x00, 0x09, 0xD4, 0x4A, 0x01, 0x01, 0x00, 0xFF, 0xFF,
                                            0x00, 0x00}));
    EXPECT_EQ(pn532Exchange(Bytes{0x02, 0x0C}), (Bytes{0xFF, 0x00, 0x00, 0x00, 0x05, 0xD4, 0x40, 0x01, 0x02, 0x0C}));
    EXPECT_EQ(directFrame(polling), (Bytes{0xFF, 0x00, 0x00, 0x00, 0x06, 0x06, 0x00, 0xFF, 0xFF, 0x00, 0x00}));
    EXPECT_TRUE(pn532Exchange(Bytes(253, 0xAA)).empty());
    EXPECT_TRUE(pn532Polling(Bytes{0x02, 0x0C}).empty());
    // Names as pcscd shows the readers.
    EXPECT_EQ(routeForReaderName("ACS ACR122U PICC Interface 00 00"), Route::Acr122);
    EXPECT_EQ(routeForReaderName("ACS ACR1252 Dual Reader [ACR1252 Dual Reader PICC] 00 00"), Route::AcsDirect);
    EXPECT_EQ(routeForReaderName("SONY FeliCa RC-S300/P (0303109) 00 00"), Route::Transparent);
    EXPECT_EQ(routeForReaderName("Virtual PCD 00 00"), Route::Undecided);

    const Bytes frame = pollingAnswer();
    const Bytes sw{0x90, 0x00};
    using K = DirectAnswer::Kind;
    enum Parser { Polling, Exchange, Direct };
    const struct {
        const char* name;
        Parser parser;
        Bytes answer;
        bool wellFormed;
        K kind;
    } cases[] = {
        {"target found", Polling, concat({{0xD5, 0x4B, 0x01, 0x01}, frame, sw}), true, K::Done},
        {"no target", Polling, {0xD5, 0x4B, 0x00, 0x90, 0x00}, true, K::CardSilent},
        {"two targets", Polling, concat({{0xD5, 0x4B, 0x02, 0x01}, frame, sw}), false, K::Failed},
        {"frame longer than its bytes", Polling, {0xD5, 0x4B, 0x01, 0x01, 0x12, 0x01, 0x90, 0x00}, false, K::Failed},
        {"another chip answer", Polling, {0xD5, 0x41, 0x00, 0x90, 0x00}, false, K::Failed},
        {"exchanged", Exchange, concat({{0xD5, 0x41, 0x00}, frame, sw}), true, K::Done},
        {"card timeout", Exchange, {0xD5, 0x41, 0x01, 0x90, 0x00}, true, K::CardSilent},
        {"chip error", Exchange, {0xD5, 0x41, 0x02, 0x90, 0x00}, true, K::Failed},
        {"reader failed", Exchange, {0x63, 0x00}, true, K::Failed},
        {"no status byte", Exchange, {0xD5, 0x41, 0x90, 0x00}, false, K::Failed},
        {"direct frame", Direct, concat({frame, sw}), true, K::Done},
        {"direct silent", Direct, {0x63, 0x00}, true, K::CardSilent},
        {"direct empty", Direct, sw, true, K::CardSilent},
        {"direct refused", Direct, {0x6A, 0x81}, true, K::Failed},
        {"direct cut", Direct, {0x12, 0x01, 0x02, 0x90, 0x00}, false, K::Failed},
        {"one byte", Direct, {0x90}, false, K::Failed},
    };
    for (const auto& c : cases) {
        DirectAnswer a;
        std::string why;
        const bool wellFormed = c.parser == Polling    ? parsePn532PollingAnswer(c.answer, a, why)
                                : c.parser == Exchange ? parsePn532ExchangeAnswer(c.answer, a, why)
                                                       : parseDirectFrameAnswer(c.answer, a, why);
        EXPECT_EQ(wellFormed, c.wellFormed) << c.name << ": " << why;
        if (!wellFormed || a.kind != K::Done) {
            EXPECT_FALSE(why.empty()) << c.name;
        }
        if (!wellFormed) continue;
        EXPECT_EQ(a.kind, c.kind) << c.name << ": " << why;
        if (a.kind == K::Done) {
            EXPECT_EQ(a.cardFrame, frame) << c.name;
        }
    }
}

}  // namespace
}  // namespace tovani::felica
