#pragma once

// The one conversion from card date and time fields to the stored decimal
// YYYYMMDD and hhmmss. Fields out of their range roll over as a calendar
// does (month 13 is January of the next year, day 0 the last day of the month
// before, minute 60 the next hour, second 86400 the next day), so the result
// is always a real date and time.

#include <cstdint>

namespace tovani {

struct CalendarDateTime {
    int32_t ymd = 0;  // YYYYMMDD
    int32_t hms = 0;  // hhmmss
};

CalendarDateTime calendarDateTime(int64_t year, int64_t month, int64_t day,
                                  int64_t hour = 0, int64_t minute = 0, int64_t second = 0);

}  // namespace tovani
