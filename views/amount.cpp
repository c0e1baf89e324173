#include "views/amount.h"

#include <limits>

namespace tovani {

namespace {

constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
constexpr int64_t kMin = std::numeric_limits<int64_t>::min();

}  // namespace

std::optional<Amount> Amount::fromYenChecked(int64_t yen) {
    int64_t ticks = 0;
    if (__builtin_mul_overflow(yen, kScale, &ticks)) return std::nullopt;
    return Amount(ticks);
}

Amount Amount::fromYen(int64_t yen) {
    if (auto a = fromYenChecked(yen)) return *a;
    return Amount(yen < 0 ? kMin : kMax);
}

std::optional<Amount> Amount::parse(std::string_view text) {
    if (text.empty()) return Amount();
    bool negative = false;
    bool seenPoint = false;
    int digits = 0;
    int decimals = 0;
    bool first = true;
    // Accumulated as a negative number so that the most negative value fits.
    int64_t acc = 0;
    for (char c : text) {
        if (c == ',') continue;
        if (c == '-' && first) {
            negative = true;
            first = false;
            continue;
        }
        first = false;
        if (c == '.' && !seenPoint) {
            seenPoint = true;
            continue;
        }
        if (c < '0' || c > '9') return std::nullopt;
        if (seenPoint && ++decimals > 4) return std::nullopt;
        ++digits;
        if (__builtin_mul_overflow(acc, int64_t{10}, &acc) ||
            __builtin_sub_overflow(acc, int64_t{c - '0'}, &acc)) {
            return std::nullopt;
        }
    }
    if (digits == 0) return std::nullopt;
    for (; decimals < 4; ++decimals) {
        if (__builtin_mul_overflow(acc, int64_t{10}, &acc)) return std::nullopt;
    }
    if (negative) return Amount(acc);
    if (acc == kMin) return std::nullopt;
    return Amount(-acc);
}

std::optional<Amount> Amount::plus(Amount other) const {
    int64_t r = 0;
    if (__builtin_add_overflow(ticks_, other.ticks_, &r)) return std::nullopt;
    return Amount(r);
}

std::optional<Amount> Amount::minus(Amount other) const {
    int64_t r = 0;
    if (__builtin_sub_overflow(ticks_, other.ticks_, &r)) return std::nullopt;
    return Amount(r);
}

Amount& Amount::operator+=(Amount other) {
    if (auto r = plus(other)) {
        *this = *r;
    } else {
        ticks_ = other.ticks_ < 0 ? kMin : kMax;
    }
    return *this;
}

Amount& Amount::operator-=(Amount other) {
    if (auto r = minus(other)) {
        *this = *r;
    } else {
        ticks_ = other.ticks_ > 0 ? kMin : kMax;
    }
    return *this;
}

std::optional<Amount> Amount::dividedBy(int64_t count) const {
    if (count <= 0) return std::nullopt;
    // Work on magnitudes as unsigned so that the most negative value divides.
    const bool negative = ticks_ < 0;
    const uint64_t mag = negative ? uint64_t{0} - static_cast<uint64_t>(ticks_)
                                  : static_cast<uint64_t>(ticks_);
    const uint64_t n = static_cast<uint64_t>(count);
    uint64_t q = mag / n;
    const uint64_t r = mag % n;
    // Compare 2r with n without overflowing: r < n <= 2^63.
    if (r > n - r || (r == n - r && (q & 1) != 0)) ++q;
    // q <= mag, so it fits back with the sign.
    const int64_t signedQ = negative ? static_cast<int64_t>(uint64_t{0} - q)
                                     : static_cast<int64_t>(q);
    return Amount(signedQ);
}

int64_t Amount::roundedYen() const {
    const int64_t whole = ticks_ / kScale;  // truncated towards zero
    const int64_t rest = ticks_ % kScale;   // same sign as ticks_
    if (rest >= kScale / 2) return whole + 1;
    if (rest <= -kScale / 2) return whole - 1;
    return whole;
}

}  // namespace tovani
