#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "cards/calendar.h"

namespace tovani {
namespace {

void expectDateTime(CalendarDateTime got, int32_t ymd, int32_t hms) {
    EXPECT_EQ(got.ymd, ymd);
    EXPECT_EQ(got.hms, hms);
}

// A real calendar date: month 1..12, day inside the month, time inside a day.
bool isCalendarDate(CalendarDateTime c) {
    const int32_t y = c.ymd / 10000, m = c.ymd / 100 % 100, d = c.ymd % 100;
    if (y < 1 || m < 1 || m > 12 || d < 1) return false;
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    const int last = kDays[m - 1] + (m == 2 && leap ? 1 : 0);
    const int32_t hh = c.hms / 10000, mm = c.hms / 100 % 100, ss = c.hms % 100;
    return d <= last && c.hms >= 0 && hh < 24 && mm < 60 && ss < 60;
}

TEST(CardCalendar, ValidFieldsPassThrough) {
    expectDateTime(calendarDateTime(2014, 10, 27, 10, 14, 53), 20141027, 101453);
    expectDateTime(calendarDateTime(2000, 1, 1), 20000101, 0);
    expectDateTime(calendarDateTime(2023, 12, 31, 23, 59, 59), 20231231, 235959);
}

TEST(CardCalendar, MonthRollsIntoNeighbouringYears) {
    expectDateTime(calendarDateTime(2014, 13, 5), 20150105, 0);
    expectDateTime(calendarDateTime(2014, 15, 5), 20150305, 0);
    expectDateTime(calendarDateTime(2014, 0, 5), 20131205, 0);
    expectDateTime(calendarDateTime(2014, 0, 0), 20131130, 0);
}

TEST(CardCalendar, DayRollsIntoNeighbouringMonths) {
    expectDateTime(calendarDateTime(2014, 3, 0), 20140228, 0);
    expectDateTime(calendarDateTime(2016, 3, 0), 20160229, 0);
    expectDateTime(calendarDateTime(2014, 1, 0), 20131231, 0);
    expectDateTime(calendarDateTime(2014, 4, 31), 20140501, 0);
    expectDateTime(calendarDateTime(2014, 12, 32), 20150101, 0);
    expectDateTime(calendarDateTime(2014, 2, 31), 20140303, 0);
}

TEST(CardCalendar, FebruaryTwentyNinthOnlyInLeapYears) {
    expectDateTime(calendarDateTime(2016, 2, 29), 20160229, 0);
    expectDateTime(calendarDateTime(2015, 2, 29), 20150301, 0);
    expectDateTime(calendarDateTime(2000, 2, 29), 20000229, 0);  // divisible by 400
    expectDateTime(calendarDateTime(2100, 2, 29), 21000301, 0);  // divisible by 100 only
}

TEST(CardCalendar, TimeCarriesIntoHoursAndDays) {
    expectDateTime(calendarDateTime(2000, 1, 1, 0, 0, 86400), 20000102, 0);
    expectDateTime(calendarDateTime(2014, 5, 10, 12, 60, 0), 20140510, 130000);
    expectDateTime(calendarDateTime(2014, 5, 10, 24, 0, 0), 20140511, 0);
    // The largest packed hour and minute: 31:63 is 08:03 of the next day.
    expectDateTime(calendarDateTime(2014, 5, 10, 31, 63, 0), 20140511, 80300);
    expectDateTime(calendarDateTime(2014, 12, 31, 23, 59, 60), 20150101, 0);
    // Seventeen bits of seconds: more than one whole day.
    expectDateTime(calendarDateTime(2000, 1, 1, 0, 0, 131071), 20000102, 122431);
}

TEST(CardCalendar, NegativeFieldsBorrow) {
    expectDateTime(calendarDateTime(2014, 5, 10, 0, 0, -1), 20140509, 235959);
    expectDateTime(calendarDateTime(2014, 5, 10, 0, -1, 0), 20140509, 235900);
    expectDateTime(calendarDateTime(2014, -11, 1), 20130101, 0);
}

TEST(CardCalendar, EveryPackedFieldCombinationGivesARealDate) {
    // All values the card bit fields can hold: month 0..15, day 0..31,
    // hour 0..31, minute 0..63.
    for (int64_t month = 0; month <= 15; ++month)
        for (int64_t day = 0; day <= 31; ++day)
            for (int64_t hour = 0; hour <= 31; hour += 7)
                for (int64_t minute = 0; minute <= 63; minute += 9) {
                    const auto c = calendarDateTime(2016, month, day, hour, minute);
                    ASSERT_TRUE(isCalendarDate(c)) << month << "/" << day << " " << hour << ":"
                                                   << minute << " -> " << c.ymd << " " << c.hms;
                }
}

TEST(CardCalendar, OutOfRangeGivesNoDateInsteadOfOverflow) {
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
    expectDateTime(calendarDateTime(kMax, kMax, kMax, kMax, kMax, kMax), 0, 0);
    expectDateTime(calendarDateTime(2000, 1, 1, 0, 0, kMin), 0, 0);
    expectDateTime(calendarDateTime(10000, 1, 1), 0, 0);
    expectDateTime(calendarDateTime(0, 12, 31), 0, 0);
    expectDateTime(calendarDateTime(9999, 12, 31, 23, 59, 59), 99991231, 235959);
    expectDateTime(calendarDateTime(9999, 12, 31, 24, 0, 0), 0, 0);
    expectDateTime(calendarDateTime(1, 1, 1), 10101, 0);
}

}  // namespace
}  // namespace tovani
