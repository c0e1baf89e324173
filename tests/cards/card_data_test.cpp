#include <gtest/gtest.h>

#include "cards/card_data.h"

namespace tovani {
namespace {

TEST(CardNumber, GroupsOfFourUpperCaseHex) {
    const uint8_t bytes[8] = {0x01, 0x2E, 0x4C, 0xD5, 0x00, 0xA0, 0x0F, 0x72};
    EXPECT_EQ(cardIdText(bytes), "012E-4CD5-00A0-0F72");
    const uint8_t ff[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(cardIdText(ff), "FFFF-FFFF-FFFF-FFFF");
}

TEST(CardKinds, PrefixesSlotsAndColumns) {
    EXPECT_EQ(dbFilePrefix(CardKindEdy), "Edy_");
    EXPECT_EQ(dbFilePrefix(CardKindNanaco), "nanaco_");
    EXPECT_EQ(dbFilePrefix(CardKindWaon), "WAON_");
    EXPECT_EQ(dbFilePrefix(CardKindSF), "SF_");
    EXPECT_EQ(dbFilePrefix(4), "");  // 100 is the transit value, not 4
    EXPECT_EQ(dbFilePrefix(CardKindNone), "");

    EXPECT_EQ(rirekiSlotCount(CardKindEdy), 6);
    EXPECT_EQ(rirekiSlotCount(CardKindNanaco), 5);
    EXPECT_EQ(rirekiSlotCount(CardKindWaon), 3);
    EXPECT_EQ(rirekiSlotCount(CardKindSF), 20);
    EXPECT_EQ(rirekiSlotCount(7), 0);

    EXPECT_EQ(rirekiColumnCount(CardKindSF), 13);
    EXPECT_EQ(rirekiColumnCount(CardKindWaon), 7);
    EXPECT_EQ(rirekiColumnCount(CardKindEdy), 6);
    EXPECT_EQ(rirekiColumnCount(55), 6);
}

TEST(RirekiFields, IndexFollowsColumnOrder) {
    RirekiInfo r;
    for (int i = 0; i < RirekiFieldCount; ++i) rirekiField(r, i) = i + 1;
    EXPECT_EQ(r.TorihikiTsuuban, 1);
    EXPECT_EQ(r.Zangaku, 6);
    EXPECT_EQ(r.Charge, 7);
    EXPECT_EQ(r.Chiiki, 13);
    EXPECT_THROW(rirekiField(r, 13), std::out_of_range);
}

}  // namespace
}  // namespace tovani
