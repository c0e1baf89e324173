#include "cards/sf_codes.h"

#include <array>
#include <cstdio>

namespace tovani {

namespace {

struct UseKind {
    int32_t code;
    const char* text;
    bool charge;
    SFCategory category;
};

// Bits 0..6 of the use kind byte. 0x48 is a rail code although the codes
// around it are shop sales, and 0x23 is a bus code.
constexpr std::array<UseKind, 22> kUseKinds = {{
    {0x00, "無効", false, SFCategoryRail},
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
}};

constexpr const char* kUnknown = "不明";
constexpr const char* kCombined = "(現金/カード併用)";

std::string upperHex(uint32_t v) {
    char buf[9];
    std::snprintf(buf, sizeof buf, "%X", v);
    return buf;
}

}  // namespace

std::string riyouKubunName(int32_t riyouKubun, bool& charge, SFCategory& category) {
    category = SFCategoryRail;
    // A value that is no card byte (a damaged file, say) is named as a whole
    // rather than cut to eight bits, which would give it a wrong name.
    if (riyouKubun < 0 || riyouKubun > 0xFF) {
        charge = false;
        return kUnknown + upperHex(static_cast<uint32_t>(riyouKubun));
    }
    const bool combined = (riyouKubun & 0x80) != 0;
    const int32_t code = riyouKubun & 0x7F;

    std::string text;
    const UseKind* found = nullptr;
    for (const UseKind& k : kUseKinds) {
        if (k.code == code) {
            found = &k;
            break;
        }
    }
    if (found != nullptr) {
        text = found->text;
        // An invalid entry says nothing about charging: the caller's flag stays.
        if (code != 0x00) charge = found->charge;
        category = found->category;
    } else {
        text = kUnknown + upperHex(static_cast<uint32_t>(code));
        charge = false;
    }
    if (combined) text += kCombined;
    return text;
}

}  // namespace tovani
