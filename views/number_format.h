#pragma once

// The display formats of the table and the labels: grouped whole numbers and
// the date texts. A date that is 0 or forms no calendar date is shown as the
// empty text, so a damaged value never turns into a plausible wrong date.

#include <cstdint>
#include <string>

#include "views/amount.h"

namespace tovani {

// "###,###,##0": "," between groups of three digits, at least one digit, a
// negative value with a leading "-" (1234567 -> "1,234,567", -500 -> "-500",
// 0 -> "0").
std::string formatGrouped(int64_t value);
// The same for an amount rounded to whole yen (Amount::roundedYen).
std::string formatGrouped(Amount value);

// "###,###,###": as formatGrouped, but 0 gives the empty text.
std::string formatGroupedOrEmpty(int64_t value);

// True when ymd (YYYYMMDD) is a calendar date of the years 1 to 9999.
bool isCalendarDate(int32_t ymd);
// True when hms (hhmmss) is a time of day 00:00:00 to 23:59:59.
bool isTimeOfDay(int32_t hms);

// "YYYY/MM/DD" of ymd; empty when ymd is not a calendar date.
std::string formatDate(int32_t ymd);
// "YYYY/MM/DD hh:mm:ss" (24-hour clock, every field zero-padded); empty when
// ymd is not a calendar date or hms not a time of day.
std::string formatDateTime(int32_t ymd, int32_t hms);
// "YYYY/MM" of a month YYYYMM; empty when it is no month of the years 1 to
// 9999.
std::string formatYearMonth(int32_t ym);

}  // namespace tovani
