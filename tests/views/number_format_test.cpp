#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "views/number_format.h"

namespace tovani {
namespace {

TEST(NumberFormat, GroupsDigitsInThrees) {
    struct Case {
        int64_t value;
        const char* grouped;  // "###,###,##0"
        const char* orEmpty;  // "###,###,###"
    };
    const Case cases[] = {
        {0, "0", ""},
        {7, "7", "7"},
        {999, "999", "999"},
        {1000, "1,000", "1,000"},
        {-500, "-500", "-500"},
        {-1000, "-1,000", "-1,000"},
        {123456, "123,456", "123,456"},
        {1234567, "1,234,567", "1,234,567"},
        {-999999, "-999,999", "-999,999"},
        {2147483647, "2,147,483,647", "2,147,483,647"},
        {std::numeric_limits<int64_t>::min(), "-9,223,372,036,854,775,808",
         "-9,223,372,036,854,775,808"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(formatGrouped(c.value), c.grouped);
        EXPECT_EQ(formatGroupedOrEmpty(c.value), c.orEmpty);
    }
}

TEST(NumberFormat, DatesAndTimes) {
    struct Case {
        int32_t ymd, hms;
        const char* date;
        const char* dateTime;
    };
    const Case cases[] = {
        {20090315, 93005, "2009/03/15", "2009/03/15 09:30:05"},
        {20090315, 0, "2009/03/15", "2009/03/15 00:00:00"},
        {20231231, 235959, "2023/12/31", "2023/12/31 23:59:59"},
        {20160229, 120000, "2016/02/29", "2016/02/29 12:00:00"},
        {10101, 0, "0001/01/01", "0001/01/01 00:00:00"},
        {99991231, 0, "9999/12/31", "9999/12/31 00:00:00"},
        // No calendar date, or no time of day: the empty text, never a
        // rolled-over neighbour.
        {0, 0, "", ""},
        {20150229, 0, "", ""},
        {20140431, 0, "", ""},
        {20141300, 0, "", ""},
        {20140001, 0, "", ""},
        {20140100, 0, "", ""},
        {101, 0, "", ""},
        {-20140101, 0, "", ""},
        {100000101, 0, "", ""},
        {20140101, 240000, "2014/01/01", ""},
        {20140101, 6000, "2014/01/01", ""},
        {20140101, 60, "2014/01/01", ""},
        {20140101, -1, "2014/01/01", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.ymd) + " " + std::to_string(c.hms));
        EXPECT_EQ(formatDate(c.ymd), c.date);
        EXPECT_EQ(formatDateTime(c.ymd, c.hms), c.dateTime);
    }
}

TEST(NumberFormat, Months) {
    struct Case {
        int32_t ym;
        const char* shown;
    };
    const Case cases[] = {
        {201004, "2010/04"}, {201101, "2011/01"}, {201012, "2010/12"}, {101, "0001/01"},
        {999912, "9999/12"}, {0, ""},           {201000, ""},         {201013, ""},
        {-201001, ""},       {1000001, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ym);
        EXPECT_EQ(formatYearMonth(c.ym), c.shown);
    }
}

}  // namespace
}  // namespace tovani
