#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "cards/decoders.h"

namespace tovani {
namespace {

using Bytes = std::vector<uint8_t>;

// An entry whose every field holds a marker, so a field the decoder must not
// touch shows up as changed.
RirekiInfo marked() {
    RirekiInfo r;
    for (int i = 0; i < RirekiFieldCount; ++i) rirekiField(r, i) = -1000 - i;
    return r;
}

CardReadResults markedCard() {
    CardReadResults card;
    card.CardKind = CardKindSF;
    card.CardID = "AAAA-BBBB-CCCC-DDDD";
    card.HakkouYmd = 19991231;
    for (RirekiInfo& r : card.CardRireki) r = marked();
    return card;
}

void put(Bytes& buf, size_t at, std::initializer_list<uint8_t> bytes) {
    if (buf.size() < at + bytes.size()) buf.resize(at + bytes.size());
    for (uint8_t b : bytes) buf[at++] = b;
}

void expectUnchanged(const CardReadResults& card) {
    const CardReadResults before = markedCard();
    EXPECT_EQ(card.CardID, before.CardID);
    EXPECT_EQ(card.HakkouYmd, before.HakkouYmd);
    for (size_t i = 0; i < card.CardRireki.size(); ++i)
        EXPECT_EQ(card.CardRireki[i], before.CardRireki[i]) << "entry " << i;
}

// ---------------------------------------------------------------- Edy

TEST(CardEdy, DecodesAHistoryBlock) {
    Bytes buf(16);
    put(buf, 0, {0x20, 0x77, 0x01, 0x2C});
    put(buf, 4, {0x2A, 0x4A, 0x90, 0x1D});
    put(buf, 8, {0x00, 0x00, 0x01, 0xF4});
    put(buf, 12, {0xFF, 0xFF, 0xFF, 0x9C});
    CardReadResults card = markedCard();
    ASSERT_TRUE(decodeEdyRireki(card, buf, 0, 0));

    RirekiInfo want = marked();  // Charge and the transit fields stay
    want.RiyouKubun = 0x20;
    want.TorihikiTsuuban = 300;
    want.RiyouYmd = 20141027;
    want.RiyouHms = 101453;
    want.Kingaku = 500;
    want.Zangaku = -100;
    EXPECT_EQ(card.CardRireki[0], want);
    EXPECT_EQ(card.CardRireki[1], marked());
}

TEST(CardEdy, SecondsOfAWholeDayCarryIntoTheNextDay) {
    Bytes buf(16);
    put(buf, 0, {0x02});
    put(buf, 4, {0x00, 0x01, 0x51, 0x80});  // day 0, second 86400
    CardReadResults card = markedCard();
    ASSERT_TRUE(decodeEdyRireki(card, buf, 0, 0));
    EXPECT_EQ(card.CardRireki[0].RiyouYmd, 20000102);
    EXPECT_EQ(card.CardRireki[0].RiyouHms, 0);
}

TEST(CardEdy, SignBitsAndMaximaOfEveryField) {
    Bytes buf(32, 0xFF);  // block 1 all 0xFF
    put(buf, 0, {0x04});
    put(buf, 8, {0x80, 0x00, 0x00, 0x00});
    put(buf, 12, {0x7F, 0xFF, 0xFF, 0xFF});
    CardReadResults card = markedCard();
    ASSERT_TRUE(decodeEdyRireki(card, buf, 0, 0));
    EXPECT_EQ(card.CardRireki[0].Kingaku, std::numeric_limits<int32_t>::min());
    EXPECT_EQ(card.CardRireki[0].Zangaku, std::numeric_limits<int32_t>::max());

    ASSERT_TRUE(decodeEdyRireki(card, buf, 16, 1));
    const RirekiInfo& e = card.CardRireki[1];
    EXPECT_EQ(e.RiyouKubun, 255);
    EXPECT_EQ(e.TorihikiTsuuban, 65535);
    // Day 32767 and second 131071 (one day and 12:24:31).
    EXPECT_EQ(e.RiyouYmd, 20890918);
    EXPECT_EQ(e.RiyouHms, 122431);
    EXPECT_EQ(e.Kingaku, -1);
    EXPECT_EQ(e.Zangaku, -1);
}

TEST(CardEdy, EmptyBlockWritesOnlyTheUseKind) {
    Bytes buf(96, 0x55);
    buf[80] = 0x00;  // block 5
    CardReadResults card = markedCard();
    EXPECT_FALSE(decodeEdyRireki(card, buf, 80, 5));
    RirekiInfo want = marked();
    want.RiyouKubun = 0;
    EXPECT_EQ(card.CardRireki[5], want);
}

TEST(CardEdy, InformationBlockGivesCardNumberAndIssueDate) {
    Bytes buf(32);
    put(buf, 16 + 2, {0x01, 0x2E, 0x4C, 0xD5, 0x00, 0xA0, 0x0F, 0x72});
    put(buf, 16 + 10, {0x2A, 0x4A, 0x90, 0x1D});
    CardReadResults card = markedCard();
    ASSERT_TRUE(decodeEdyInfo(card, buf, 16));
    EXPECT_EQ(card.CardID, "012E-4CD5-00A0-0F72");
    EXPECT_EQ(card.HakkouYmd, 20141027);  // time of day dropped

    put(buf, 16 + 10, {0x80, 0x00, 0x00, 0x00});  // top bit of the day count
    ASSERT_TRUE(decodeEdyInfo(card, buf, 16));
    EXPECT_EQ(card.HakkouYmd, 20441109);

    const Bytes ff(16, 0xFF);
    ASSERT_TRUE(decodeEdyInfo(card, ff, 0));
    EXPECT_EQ(card.CardID, "FFFF-FFFF-FFFF-FFFF");
    EXPECT_EQ(card.HakkouYmd, 20890918);
}

// ---------------------------------------------------------------- nanaco

TEST(CardNanaco, DecodesAHistoryBlock) {
    Bytes buf(16);
    put(buf, 0, {0x47, 0x00, 0x00, 0x03, 0xE8, 0x00, 0x00, 0x27, 0x10});
    put(buf, 9, {0x01, 0xD5, 0xF2, 0x4E, 0x12, 0x34, 0x99});
    CardReadResults card = markedCard();
    ASSERT_TRUE(decodeNanacoRireki(card, buf, 0, 0));

    RirekiInfo want = marked();
    want.RiyouKubun = 0x47;
    want.Kingaku = 1000;
    want.Zangaku = 10000;
    want.RiyouYmd = 20141031;
    want.RiyouHms = 91400;
    want.TorihikiTsuuban = 0x1234;
    EXPECT_EQ(card.CardRireki[0], want);
}

TEST(CardNanaco, SignedAmountsAndPackedDateExtremes) {
    Bytes buf(16);
    put(buf, 0, {0x35, 0xFF, 0xFF, 0xFC, 0x18, 0x80, 0x00, 0x00, 0x00});
    put(buf, 9, {0x80, 0x00, 0x00, 0x00});  // year 3024, month 0, day 0
    CardReadResults card = markedCard();
    ASSERT_TRUE(decodeNanacoRireki(card, buf, 0, 4));
    const RirekiInfo& e = card.CardRireki[4];
    EXPECT_EQ(e.Kingaku, -1000);
    EXPECT_EQ(e.Zangaku, std::numeric_limits<int32_t>::min());
    EXPECT_EQ(e.RiyouYmd, 30231130);
    EXPECT_EQ(e.RiyouHms, 0);
}

TEST(CardNanaco, AllBitsSetGiveARealDate) {
    const Bytes buf(16, 0xFF);
    CardReadResults card = markedCard();
    ASSERT_TRUE(decodeNanacoRireki(card, buf, 0, 0));
    const RirekiInfo& e = card.CardRireki[0];
    EXPECT_EQ(e.RiyouKubun, 255);
    EXPECT_EQ(e.Kingaku, -1);
    EXPECT_EQ(e.TorihikiTsuuban, 65535);
    // 4047, month 15 day 31, 63:63 -> 4048-03-31 plus 2 days 16:03.
    EXPECT_EQ(e.RiyouYmd, 40480402);
    EXPECT_EQ(e.RiyouHms, 160300);
}

TEST(CardNanaco, EmptyBlockWritesOnlyTheUseKind) {
    Bytes buf(16, 0x11);
    buf[0] = 0;
    CardReadResults card = markedCard();
    EXPECT_FALSE(decodeNanacoRireki(card, buf, 0, 2));
    RirekiInfo want = marked();
    want.RiyouKubun = 0;
    EXPECT_EQ(card.CardRireki[2], want);
}

TEST(CardNanaco, InformationBlocksGiveCardNumberAndIssueDate) {
    Bytes buf(32);
    put(buf, 0, {0x70, 0x01, 0x02, 0x03, 0xAB, 0xCD, 0xEF, 0x00});
    put(buf, 17, {0x1B, 0x2F});
    CardReadResults card = markedCard();
    ASSERT_TRUE(decodeNanacoInfo(card, buf, 0));
    EXPECT_EQ(card.CardID, "7001-0203-ABCD-EF00");
    EXPECT_EQ(card.HakkouYmd, 20130915);

    put(buf, 17, {0xFF, 0xFF});  // 2127, month 15, day 31
    ASSERT_TRUE(decodeNanacoInfo(card, buf, 0));
    EXPECT_EQ(card.HakkouYmd, 21280331);
    put(buf, 17, {0x80, 0x00});  // 2064, month 0, day 0
    ASSERT_TRUE(decodeNanacoInfo(card, buf, 0));
    EXPECT_EQ(card.HakkouYmd, 20631130);
    put(buf, 17, {0x00, 0x5D});  // 2000-02-29 is a leap day
    ASSERT_TRUE(decodeNanacoInfo(card, buf, 0));
    EXPECT_EQ(card.HakkouYmd, 20000229);
    put(buf, 17, {0x02, 0x5D});  // 2001-02-29 is not
    ASSERT_TRUE(decodeNanacoInfo(card, buf, 0));
    EXPECT_EQ(card.HakkouYmd, 20010301);
}

// ---------------------------------------------------------------- WAON

// One 32-byte record with the serial, use kind and bytes 18..27.
Bytes waonRecord(uint16_t serial, uint8_t kind, std::initializer_list<uint8_t> from18 = {}) {
    Bytes r(32, 0);
    r[13] = static_cast<uint8_t>(serial >> 8);
    r[14] = static_cast<uint8_t>(serial & 0xFF);
    r[17] = kind;
    put(r, 18, from18);
    r.resize(32);
    return r;
}

TEST(CardWaon, DecodesARecord) {
    // Date 48 BD C0 80: bit 7 of byte 21 is the lowest minute bit, its low
    // seven bits the top of the balance. Balance 1000, paid 500, charged 1000;
    // the low two bits of byte 27 belong to no field.
    Bytes buf = waonRecord(0x0102, 0x04, {0x48, 0xBD, 0xC0, 0x80, 0x7D, 0x00, 0x0F, 0xA0, 0x0F, 0xA3});
    CardReadResults card = markedCard();
    ASSERT_TRUE(decodeWaonRireki(card, buf, 0, 0));

    RirekiInfo want = marked();
    want.TorihikiTsuuban = 0x0102;
    want.RiyouKubun = 0x04;
    want.RiyouYmd = 20140115;
    want.RiyouHms = 140100;
    want.Zangaku = 1000;
    want.Kingaku = 500;
    want.Charge = 1000;
    EXPECT_EQ(card.CardRireki[0], want);
}

TEST(CardWaon, SharedBytesSplitBetweenNeighbours) {
    struct Case {
        std::initializer_list<uint8_t> from21;
        int32_t zangaku, kingaku, charge, minuteLowBit;
    };
    const Case cases[] = {
        {{0x7F}, 127 * 2048, 0, 0, 0},
        {{0x80}, 0, 0, 0, 1},
        {{0x00, 0x00, 0xE0}, 7, 0, 0, 0},
        {{0x00, 0x00, 0x1F}, 0, 31 * 8192, 0, 0},
        {{0x00, 0x00, 0x00, 0x00, 0xF8}, 0, 31, 0, 0},
        {{0x00, 0x00, 0x00, 0x00, 0x07}, 0, 0, 7 * 16384, 0},
        {{0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFC}, 0, 0, 63, 0},
        {{0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03}, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        Bytes buf = waonRecord(1, 0x10, {0x48, 0xBD, 0xC0});
        put(buf, 21, c.from21);
        buf.resize(32);
        CardReadResults card = markedCard();
        ASSERT_TRUE(decodeWaonRireki(card, buf, 0, 0));
        const RirekiInfo& e = card.CardRireki[0];
        EXPECT_EQ(e.Zangaku, c.zangaku) << int(*c.from21.begin());
        EXPECT_EQ(e.Kingaku, c.kingaku);
        EXPECT_EQ(e.Charge, c.charge);
        EXPECT_EQ(e.RiyouHms, 140000 + c.minuteLowBit * 100);
    }
}

TEST(CardWaon, AllBitsSetGiveMaximaAndARealDate) {
    const Bytes buf(32, 0xFF);
    CardReadResults card = markedCard();
    ASSERT_TRUE(decodeWaonRireki(card, buf, 0, 0));
    const RirekiInfo& e = card.CardRireki[0];
    EXPECT_EQ(e.TorihikiTsuuban, 65535);
    EXPECT_EQ(e.RiyouKubun, 255);
    // 2036, month 15 day 31, 31:63 -> 2037-03-31 plus 1 day 08:03.
    EXPECT_EQ(e.RiyouYmd, 20370401);
    EXPECT_EQ(e.RiyouHms, 80300);
    EXPECT_EQ(e.Zangaku, (1 << 18) - 1);
    EXPECT_EQ(e.Kingaku, (1 << 18) - 1);
    EXPECT_EQ(e.Charge, (1 << 17) - 1);
    EXPECT_EQ(e.Kiki, marked().Kiki);
}

TEST(CardWaon, EmptyRecordWritesUseKindAndSerialOnly) {
    Bytes buf = waonRecord(0x4444, 0x00, {0x48, 0xBD, 0xC0, 0x80, 0x7D});
    CardReadResults card = markedCard();
    EXPECT_FALSE(decodeWaonRireki(card, buf, 0, 1));
    RirekiInfo want = marked();
    want.RiyouKubun = 0;
    want.TorihikiTsuuban = 0;
    EXPECT_EQ(card.CardRireki[1], want);
}

Bytes threeRecords(const Bytes& a, const Bytes& b, const Bytes& c) {
    Bytes buf(a);
    buf.insert(buf.end(), b.begin(), b.end());
    buf.insert(buf.end(), c.begin(), c.end());
    return buf;
}

CardReadResults decodeThree(const Bytes& buf) {
    CardReadResults card = markedCard();
    for (int block = 0; block <= 4; block += 2)
        decodeWaonRireki(card, buf, static_cast<size_t>(16 * block), block / 2);
    sortWaonRireki(card);
    return card;
}

TEST(CardWaon, SortPutsTheHighestSerialFirst) {
    const Bytes buf = threeRecords(waonRecord(7, 0x04, {0, 0, 0, 0, 7}),
                                   waonRecord(9, 0x04, {0, 0, 0, 0, 9}),
                                   waonRecord(8, 0x04, {0, 0, 0, 0, 8}));
    const CardReadResults card = decodeThree(buf);
    // Whole entries move: the balance (byte 22 x 8) follows its serial.
    EXPECT_EQ(card.CardRireki[0].TorihikiTsuuban, 9);
    EXPECT_EQ(card.CardRireki[0].Zangaku, 9 * 8);
    EXPECT_EQ(card.CardRireki[1].TorihikiTsuuban, 8);
    EXPECT_EQ(card.CardRireki[1].Zangaku, 8 * 8);
    EXPECT_EQ(card.CardRireki[2].TorihikiTsuuban, 7);
    EXPECT_EQ(card.CardRireki[2].Zangaku, 7 * 8);
    EXPECT_EQ(card.CardRireki[3], marked());  // outside the WAON range
}

TEST(CardWaon, SortKeepsTheOrderOfEqualSerials) {
    const Bytes buf = threeRecords(waonRecord(3, 0x04, {0, 0, 0, 0, 1}),
                                   waonRecord(5, 0x04, {0, 0, 0, 0, 2}),
                                   waonRecord(5, 0x04, {0, 0, 0, 0, 3}));
    const CardReadResults card = decodeThree(buf);
    EXPECT_EQ(card.CardRireki[0].Zangaku, 2 * 8);
    EXPECT_EQ(card.CardRireki[1].Zangaku, 3 * 8);
    EXPECT_EQ(card.CardRireki[2].Zangaku, 1 * 8);
}

TEST(CardWaon, EmptyRecordSortsLast) {
    const Bytes buf = threeRecords(waonRecord(20, 0x04), waonRecord(0xFFFF, 0x00),
                                   waonRecord(21, 0x0C));
    const CardReadResults card = decodeThree(buf);
    EXPECT_EQ(card.CardRireki[0].TorihikiTsuuban, 21);
    EXPECT_EQ(card.CardRireki[1].TorihikiTsuuban, 20);
    EXPECT_EQ(card.CardRireki[2].TorihikiTsuuban, 0);
    EXPECT_EQ(card.CardRireki[2].RiyouKubun, 0);
}

TEST(CardWaon, InformationGivesCardNumberAndNoIssueDate) {
    Bytes buf(8);
    put(buf, 0, {0x19, 0x00, 0x20, 0x14, 0x01, 0x15, 0xFE, 0xDC});
    CardReadResults card = markedCard();
    ASSERT_TRUE(decodeWaonInfo(card, buf, 0));
    EXPECT_EQ(card.CardID, "1900-2014-0115-FEDC");
    EXPECT_EQ(card.HakkouYmd, 0);
}

// ------------------------------------------------- refused buffers and slots

TEST(CardDecoders, BufferTooShortIsRefusedWithNothingWritten) {
    const Bytes full(96, 0x42);
    const auto shortOf = [&](size_t n) { return Bytes(full.begin(), full.begin() + n); };
    constexpr size_t kHuge = std::numeric_limits<size_t>::max();
    CardReadResults card = markedCard();

    EXPECT_FALSE(decodeEdyRireki(card, shortOf(95), 80, 5));
    EXPECT_FALSE(decodeEdyRireki(card, full, kHuge, 0));
    EXPECT_FALSE(decodeEdyRireki(card, {}, 0, 0));
    EXPECT_FALSE(decodeEdyInfo(card, shortOf(15), 0));
    EXPECT_FALSE(decodeEdyInfo(card, full, 81));

    EXPECT_FALSE(decodeNanacoRireki(card, shortOf(79), 64, 4));
    EXPECT_FALSE(decodeNanacoRireki(card, full, kHuge - 8, 0));
    EXPECT_FALSE(decodeNanacoInfo(card, shortOf(31), 0));
    EXPECT_FALSE(decodeNanacoInfo(card, full, 65));

    EXPECT_FALSE(decodeWaonRireki(card, shortOf(95), 64, 2));
    EXPECT_FALSE(decodeWaonRireki(card, shortOf(31), 0, 0));
    EXPECT_FALSE(decodeWaonRireki(card, full, kHuge, 0));
    EXPECT_FALSE(decodeWaonInfo(card, shortOf(7), 0));
    EXPECT_FALSE(decodeWaonInfo(card, full, 89));
    expectUnchanged(card);

    // The exact length is enough.
    EXPECT_TRUE(decodeEdyRireki(card, shortOf(96), 80, 5));
    EXPECT_TRUE(decodeNanacoInfo(card, shortOf(32), 0));
    EXPECT_TRUE(decodeWaonInfo(card, shortOf(8), 0));
    EXPECT_TRUE(decodeWaonRireki(card, shortOf(96), 64, 2));
}

TEST(CardDecoders, SlotOutsideTheResultsIsRefused) {
    const Bytes buf(32, 0x42);
    CardReadResults card = markedCard();
    for (int index : {-1, CardRirekiSize, std::numeric_limits<int>::min()}) {
        EXPECT_FALSE(decodeEdyRireki(card, buf, 0, index));
        EXPECT_FALSE(decodeNanacoRireki(card, buf, 0, index));
        EXPECT_FALSE(decodeWaonRireki(card, buf, 0, index));
    }
    expectUnchanged(card);
    EXPECT_TRUE(decodeEdyRireki(card, buf, 0, CardRirekiSize - 1));
}

}  // namespace
}  // namespace tovani
