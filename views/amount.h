#pragma once

// A money amount in fixed point: a signed 64-bit count of ten-thousandths of
// a yen. Sums are exact; averages keep four decimal places; the display shows
// whole yen. Cell texts of amount columns are read back into it for sorting.

#include <compare>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tovani {

class Amount {
public:
    static constexpr int64_t kScale = 10000;  // ten-thousandths per yen

    constexpr Amount() = default;

    // Whole yen. Values beyond about ±922 trillion yen do not fit: they give
    // std::nullopt from the checked form; fromYen clamps to the limits.
    static std::optional<Amount> fromYenChecked(int64_t yen);
    static Amount fromYen(int64_t yen);
    static constexpr Amount fromTicks(int64_t ticks) { return Amount(ticks); }

    // A cell text: the empty text is 0; otherwise every "," is removed and
    // what is left must be an optional "-", digits, and an optional "."
    // with at most four decimals (at least one digit in all; no blanks, no
    // "+"). Anything else, or a value that does not fit, is not a number:
    // std::nullopt.
    static std::optional<Amount> parse(std::string_view text);

    int64_t ticks() const { return ticks_; }

    // Exact sum and difference; std::nullopt when the result does not fit.
    std::optional<Amount> plus(Amount other) const;
    std::optional<Amount> minus(Amount other) const;
    // The operators clamp at the limits instead (they cannot be reached by
    // sums of 32-bit yen values of fewer than four hundred thousand rows).
    Amount& operator+=(Amount other);
    Amount& operator-=(Amount other);
    friend Amount operator+(Amount a, Amount b) { return a += b; }
    friend Amount operator-(Amount a, Amount b) { return a -= b; }

    // The amount divided by a count, kept to four decimal places, the last
    // one rounded half to even; computed exactly. std::nullopt for a count
    // of 0 or less (an average over no transactions is the caller's 0).
    std::optional<Amount> dividedBy(int64_t count) const;

    // Whole yen, halves away from zero (308.5 -> 309, -308.5 -> -309); an
    // amount that rounds to zero is 0, never a negative zero.
    int64_t roundedYen() const;

    friend constexpr auto operator<=>(Amount, Amount) = default;
    friend constexpr bool operator==(Amount, Amount) = default;

private:
    constexpr explicit Amount(int64_t ticks) : ticks_(ticks) {}
    int64_t ticks_ = 0;
};

}  // namespace tovani
