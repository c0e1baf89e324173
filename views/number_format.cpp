#include "views/number_format.h"

#include <cstdio>

#include "cards/calendar.h"

namespace tovani {

std::string formatGrouped(int64_t value) {
    // Magnitude as unsigned so that the most negative value is no overflow.
    uint64_t mag = value < 0 ? uint64_t{0} - static_cast<uint64_t>(value)
                             : static_cast<uint64_t>(value);
    char buf[32];
    int pos = sizeof buf;
    int digits = 0;
    do {
        if (digits > 0 && digits % 3 == 0) buf[--pos] = ',';
        buf[--pos] = static_cast<char>('0' + mag % 10);
        mag /= 10;
        ++digits;
    } while (mag != 0);
    if (value < 0) buf[--pos] = '-';
    return std::string(buf + pos, sizeof buf - static_cast<size_t>(pos));
}

std::string formatGrouped(Amount value) { return formatGrouped(value.roundedYen()); }

std::string formatGroupedOrEmpty(int64_t value) {
    return value == 0 ? std::string() : formatGrouped(value);
}

bool isCalendarDate(int32_t ymd) {
    if (ymd < 10101 || ymd > 99991231) return false;
    // A date is a calendar date when the calendar does not have to roll it.
    return calendarDateTime(ymd / 10000, ymd / 100 % 100, ymd % 100).ymd == ymd;
}

bool isTimeOfDay(int32_t hms) {
    return hms >= 0 && hms / 10000 < 24 && hms / 100 % 100 < 60 && hms % 100 < 60;
}

std::string formatDate(int32_t ymd) {
    if (!isCalendarDate(ymd)) return {};
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d", ymd / 10000, ymd / 100 % 100, ymd % 100);
    return buf;
}

std::string formatDateTime(int32_t ymd, int32_t hms) {
    if (!isCalendarDate(ymd) || !isTimeOfDay(hms)) return {};
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d", ymd / 10000,
                  ymd / 100 % 100, ymd % 100, hms / 10000, hms / 100 % 100, hms % 100);
    return buf;
}

std::string formatYearMonth(int32_t ym) {
    if (ym < 101 || ym > 999912 || ym % 100 < 1 || ym % 100 > 12) return {};
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d/%02d", ym / 100, ym % 100);
    return buf;
}

}  // namespace tovani
