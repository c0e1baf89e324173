#include "cards/calendar.h"

namespace tovani {

namespace {

// Card bit fields are at most a few thousand; anything this far out is not a
// date any card can hold, and keeping the inputs below it keeps every product
// below inside 64 bits.
constexpr int64_t kInputLimit = int64_t{1} << 40;

constexpr int64_t kSecondsPerDay = 86400;

// Division and remainder rounding towards minus infinity, so that negative
// fields borrow from the next larger unit.
constexpr int64_t floorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

constexpr int64_t floorMod(int64_t a, int64_t b) { return a - floorDiv(a, b) * b; }

// Days since 1970-01-01 of a proleptic Gregorian date; month 1..12, any day.
constexpr int64_t daysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2 ? 1 : 0;
    const int64_t era = floorDiv(y, 400);
    const int64_t yoe = y - era * 400;                                      // [0, 399]
    const int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;    // from March 1st
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;              // [0, 146096]
    return era * 146097 + doe - 719468;
}

struct Civil {
    int64_t y, m, d;
};

constexpr Civil civilFromDays(int64_t z) {
    z += 719468;
    const int64_t era = floorDiv(z, 146097);
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const int64_t m = mp < 10 ? mp + 3 : mp - 9;
    return {yoe + era * 400 + (m <= 2 ? 1 : 0), m, d};
}

constexpr bool inLimit(int64_t v) { return v > -kInputLimit && v < kInputLimit; }

}  // namespace

CalendarDateTime calendarDateTime(int64_t year, int64_t month, int64_t day, int64_t hour,
                                  int64_t minute, int64_t second) {
    if (!inLimit(year) || !inLimit(month) || !inLimit(day) || !inLimit(hour) ||
        !inLimit(minute) || !inLimit(second)) {
        return {};
    }
    // Month 13 is January of the next year, month 0 December of the one before.
    const int64_t y = year + floorDiv(month - 1, 12);
    const int64_t m = floorMod(month - 1, 12) + 1;
    if (!inLimit(y)) return {};

    // Day 0 is the last day of the month before, day 31 of a 30-day month the
    // first of the next: counting from the first of the month does both.
    const int64_t secondsOfDay = hour * 3600 + minute * 60 + second;
    const int64_t days =
        daysFromCivil(y, m, 1) + (day - 1) + floorDiv(secondsOfDay, kSecondsPerDay);
    const int64_t rest = floorMod(secondsOfDay, kSecondsPerDay);

    const Civil c = civilFromDays(days);
    // YYYYMMDD has room for four year digits only; beyond that there is no
    // date to store.
    if (c.y < 1 || c.y > 9999) return {};

    CalendarDateTime out;
    out.ymd = static_cast<int32_t>(c.y * 10000 + c.m * 100 + c.d);
    out.hms = static_cast<int32_t>((rest / 3600) * 10000 + (rest / 60 % 60) * 100 + rest % 60);
    return out;
}

}  // namespace tovani
