#include "cards/card_data.h"

#include <stdexcept>

namespace tovani {

namespace {
using Field = int32_t RirekiInfo::*;
constexpr std::array<Field, RirekiFieldCount> kFields = {
    &RirekiInfo::TorihikiTsuuban, &RirekiInfo::RiyouKubun,   &RirekiInfo::RiyouYmd,
    &RirekiInfo::RiyouHms,        &RirekiInfo::Kingaku,      &RirekiInfo::Zangaku,
    &RirekiInfo::Charge,          &RirekiInfo::Kiki,         &RirekiInfo::Shiharai,
    &RirekiInfo::Nyuusyutujou,    &RirekiInfo::NyuujouCD,    &RirekiInfo::SyutujouCD,
    &RirekiInfo::Chiiki,
};
}  // namespace

int32_t& rirekiField(RirekiInfo& r, int index) {
    if (index < 0 || index >= RirekiFieldCount) throw std::out_of_range("RirekiInfo field index");
    return r.*kFields[static_cast<size_t>(index)];
}

int32_t rirekiField(const RirekiInfo& r, int index) {
    if (index < 0 || index >= RirekiFieldCount) throw std::out_of_range("RirekiInfo field index");
    return r.*kFields[static_cast<size_t>(index)];
}

int rirekiSlotCount(int32_t cardKind) {
    switch (cardKind) {
        case CardKindEdy: return 6;
        case CardKindNanaco: return 5;
        case CardKindWaon: return 3;
        case CardKindSF: return 20;
        default: return 0;
    }
}

int rirekiColumnCount(int32_t cardKind) {
    switch (cardKind) {
        case CardKindSF: return 13;
        case CardKindWaon: return 7;
        default: return 6;
    }
}

std::string dbFilePrefix(int32_t cardKind) {
    switch (cardKind) {
        case CardKindEdy: return "Edy_";
        case CardKindNanaco: return "nanaco_";
        case CardKindWaon: return "WAON_";
        case CardKindSF: return "SF_";
        default: return "";
    }
}

std::string cardIdText(const uint8_t* bytes8) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(19);
    for (int i = 0; i < 8; ++i) {
        if (i == 2 || i == 4 || i == 6) out += '-';
        out += kHex[bytes8[i] >> 4];
        out += kHex[bytes8[i] & 0x0F];
    }
    return out;
}

}  // namespace tovani
