#pragma once

// Names and classes of transit use kinds (byte 1 of a transit history block).

#include <cstdint>
#include <string>

namespace tovani {

// Category of a transit use kind.
enum SFCategory : int32_t {
    SFCategoryRail = 0,  // rail and everything else
    SFCategoryShop = 1,  // shop sale: the block carries a time of day
    SFCategoryBus = 2,
};

// Text of the use kind byte (bit 7: paid with cash and card together). Always
// writes category; writes charge for every code but 0x00, which leaves it as
// the caller passed it.
std::string riyouKubunName(int32_t riyouKubun, bool& charge, SFCategory& category);

}  // namespace tovani
