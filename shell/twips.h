#pragma once

// Places and sizes of the window are kept in twips (1/1440 inch) so that the
// window has the same proportions on every screen; the screen's logical DPI
// turns them into pixels.

#include <cmath>
#include <cstdint>
#include <limits>

namespace tovani::shell {

inline constexpr double TwipsPerInch = 1440.0;

// Rounded to the nearest pixel and kept inside int, so that a stored value of
// any size converts without overflow.
inline int twipsToPixels(int64_t twips, double dpi) {
    const double px = std::round(static_cast<double>(twips) * dpi / TwipsPerInch);
    if (px >= static_cast<double>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
    if (px <= static_cast<double>(std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
    return static_cast<int>(px);
}

inline int32_t pixelsToTwips(int64_t px, double dpi) {
    if (dpi <= 0) return 0;
    const double tw = std::round(static_cast<double>(px) * TwipsPerInch / dpi);
    if (tw >= static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
    if (tw <= static_cast<double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(tw);
}

}  // namespace tovani::shell
