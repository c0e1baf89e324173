#include <gtest/gtest.h>

#include <string>

#include "cards/sf_codes.h"

namespace tovani {
namespace {

struct Named {
    std::string text;
    bool charge;
    SFCategory category;
};

Named name(int32_t code, bool chargeIn = false) {
    bool charge = chargeIn;
    SFCategory category = SFCategoryShop;  // must always be overwritten
    std::string text = riyouKubunName(code, charge, category);
    return {text, charge, category};
}

TEST(CardUseKindName, WholeTable) {
    struct Row {
        int32_t code;
        const char* text;
        bool charge;
        SFCategory category;
    };
    const Row rows[] = {
        {0x01, "自動改札機出場", false, SFCategoryRail},
        {0x02, "SFチャージ", true, SFCategoryRail},
        {0x03, "切符購入", false, SFCategoryRail},
        {0x04, "磁気券精算", false, SFCategoryRail},
        {0x05, "乗越精算", false, SFCategoryRail},
        {0x06, "窓口出場", false, SFCategoryRail},
        {0x07, "新規", true, SFCategoryRail},
        {0x08, "控除", false, SFCategoryRail},
        {0x0D, "バス等均一運賃", false, SFCategoryBus},
        {0x0F, "バス等", false, SFCategoryBus},
        {0x11, "再発行", false, SFCategoryRail},
        {0x13, "料金出場", false, SFCategoryRail},
        {0x14, "オートチャージ", true, SFCategoryRail},
        {0x15, "オートチャージ", true, SFCategoryRail},
        {0x1F, "バス等チャージ", true, SFCategoryBus},
        {0x23, "券購入", false, SFCategoryBus},
        {0x46, "物販", false, SFCategoryShop},
        {0x48, "ポイントチャージ", true, SFCategoryRail},
        {0x49, "SFチャージ（物販）", true, SFCategoryShop},
        {0x4A, "物販取消", false, SFCategoryShop},
        {0x4B, "入場・物販", false, SFCategoryShop},
    };
    for (const Row& r : rows) {
        // Start from the opposite flag so a flag that is not written shows.
        const Named n = name(r.code, !r.charge);
        EXPECT_EQ(n.text, r.text) << std::hex << r.code;
        EXPECT_EQ(n.charge, r.charge) << std::hex << r.code;
        EXPECT_EQ(n.category, r.category) << std::hex << r.code;
    }
}

TEST(CardUseKindName, InvalidCodeLeavesChargeFlag) {
    for (bool in : {false, true}) {
        const Named n = name(0x00, in);
        EXPECT_EQ(n.text, "無効");
        EXPECT_EQ(n.charge, in);
        EXPECT_EQ(n.category, SFCategoryRail);
        const Named c = name(0x80, in);
        EXPECT_EQ(c.text, "無効(現金/カード併用)");
        EXPECT_EQ(c.charge, in);
        EXPECT_EQ(c.category, SFCategoryRail);
    }
}

TEST(CardUseKindName, CashAndCardTogetherAppendsSuffix) {
    Named n = name(0x81, true);
    EXPECT_EQ(n.text, "自動改札機出場(現金/カード併用)");
    EXPECT_FALSE(n.charge);
    EXPECT_EQ(n.category, SFCategoryRail);

    n = name(0xC6);
    EXPECT_EQ(n.text, "物販(現金/カード併用)");
    EXPECT_EQ(n.category, SFCategoryShop);

    n = name(0x82);
    EXPECT_EQ(n.text, "SFチャージ(現金/カード併用)");
    EXPECT_TRUE(n.charge);

    n = name(0xA3);
    EXPECT_EQ(n.text, "券購入(現金/カード併用)");
    EXPECT_EQ(n.category, SFCategoryBus);
}

TEST(CardUseKindName, UnknownCodesNameTheirHexWithoutLeadingZeros) {
    Named n = name(0x4C, true);
    EXPECT_EQ(n.text, "不明4C");
    EXPECT_FALSE(n.charge);
    EXPECT_EQ(n.category, SFCategoryRail);
    EXPECT_EQ(name(0xCC).text, "不明4C(現金/カード併用)");
    EXPECT_EQ(name(0x09).text, "不明9");
    EXPECT_EQ(name(0x7F).text, "不明7F");
    EXPECT_EQ(name(0xFF).text, "不明7F(現金/カード併用)");
    EXPECT_EQ(name(0x47).text, "不明47");  // a gap between shop-sale codes
    EXPECT_EQ(name(0x10).text, "不明10");
}

TEST(CardUseKindName, ValuesThatAreNoByteAreUnknownAsAWhole) {
    // 0x181 would read as 0x01 if cut to eight bits.
    Named n = name(0x181, true);
    EXPECT_EQ(n.text, "不明181");
    EXPECT_FALSE(n.charge);
    EXPECT_EQ(n.category, SFCategoryRail);
    EXPECT_EQ(name(-1).text, "不明FFFFFFFF");
}

}  // namespace
}  // namespace tovani
