// OLE day numbers, calendar days and the text forms of dates.
#include "data/value_calendar.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "data/value.h"
#include "errors.h"

namespace zav5::data {
namespace {

using std::chrono::year_month_day;

year_month_day Ymd(int y, unsigned m, unsigned d) {
  return year_month_day{std::chrono::year{y}, std::chrono::month{m}, std::chrono::day{d}};
}

// A calendar day counted by hand, without <chrono>, to check DayNumber against.
struct CivilDay {
  int y;
  unsigned m;
  unsigned d;

  static unsigned DaysInMonth(int y, unsigned m) {
    static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : kDays[m - 1];
  }
  void Next() {
    if (++d > DaysInMonth(y, m)) {
      d = 1;
      if (++m > 12) {
        m = 1;
        ++y;
      }
    }
  }
  void Previous() {
    if (--d == 0) {
      if (--m == 0) {
        m = 12;
        --y;
      }
      d = DaysInMonth(y, m);
    }
  }
  year_month_day Chrono() const { return Ymd(y, m, d); }
  std::string Italian() const {
    char text[32];
    std::snprintf(text, sizeof text, "%02u/%02u/%04d", d, m, y);
    return text;
  }
  std::string Iso() const {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", y, m, d);
    return text;
  }
};

std::string DateText(double ole_days) {
  return Value::Day(Date{ole_days}).ToText();
}
double TextDate(const std::string& text) {
  return Value::Text(text).ToDate().ole_days;
}

TEST(DayNumberTest, KnownDays) {
  EXPECT_EQ(DayNumber(Ymd(1899, 12, 30)), 0);
  EXPECT_EQ(DayNumber(Ymd(1899, 12, 31)), 1);
  EXPECT_EQ(DayNumber(Ymd(1899, 12, 29)), -1);
  EXPECT_EQ(DayNumber(Ymd(1900, 2, 28)), 60);  // no phantom 29 February 1900
  EXPECT_EQ(DayNumber(Ymd(1900, 3, 1)), 61);
  EXPECT_EQ(DayNumber(Ymd(2024, 1, 1)), 45292);
  EXPECT_EQ(DayNumber(Ymd(100, 1, 1)), -657434);
  EXPECT_EQ(DayNumber(Ymd(9999, 12, 31)), 2958465);
  EXPECT_EQ(DayFromNumber(0), Ymd(1899, 12, 30));
  EXPECT_EQ(DayFromNumber(-1), Ymd(1899, 12, 29));
  EXPECT_EQ(DayFromNumber(45292), Ymd(2024, 1, 1));
}

TEST(DayNumberTest, EveryDayOfTheDateRangeAgainstAHandCount) {
  CivilDay day{1899, 12, 30};
  for (std::int32_t n = 0; n <= 2958465; ++n, day.Next()) {
    ASSERT_EQ(DayNumber(day.Chrono()), n) << day.Iso();
    ASSERT_EQ(DayFromNumber(n), day.Chrono()) << n;
  }
  EXPECT_EQ(day.Iso(), "10000-01-01");
  day = CivilDay{1899, 12, 30};
  for (std::int32_t n = 0; n >= -657434; --n, day.Previous()) {
    ASSERT_EQ(DayNumber(day.Chrono()), n) << day.Iso();
    ASSERT_EQ(DayFromNumber(n), day.Chrono()) << n;
  }
  EXPECT_EQ(day.Iso(), "0099-12-31");
}

TEST(DateTextTest, EveryDayFrom1899To2100ReadsAndWritesBack) {
  CivilDay day{1899, 1, 1};
  for (std::int32_t n = DayNumber(day.Chrono()); day.y <= 2100; ++n, day.Next()) {
    if (n != 0) {  // day 0 shows as a time
      ASSERT_EQ(DateText(n), day.Italian()) << n;
    }
    ASSERT_EQ(TextDate(day.Italian()), n) << day.Italian();
    ASSERT_EQ(TextDate(day.Iso()), n) << day.Iso();
  }
}

TEST(DateTextTest, TimesOfDay) {
  EXPECT_EQ(DateText(45292.5), "01/01/2024 12:00:00");
  EXPECT_EQ(DateText(45292.25), "01/01/2024 06:00:00");
  EXPECT_EQ(DateText(45292 + 1.0 / 86400), "01/01/2024 00:00:01");
  EXPECT_EQ(DateText(45292 + 86399.0 / 86400), "01/01/2024 23:59:59");
  EXPECT_EQ(DateText(45292.999999999), "02/01/2024");  // rounds to the next midnight
  EXPECT_EQ(DateText(1), "31/12/1899");
  // Day 0 shows only its time, midnight included.
  EXPECT_EQ(DateText(0), "00:00:00");
  EXPECT_EQ(DateText(0.5), "12:00:00");
  EXPECT_EQ(DateText(0.75), "18:00:00");
  // Before day 0 the fraction still counts forward from the start of the day.
  EXPECT_EQ(DateText(-1), "29/12/1899");
  EXPECT_EQ(DateText(-1.25), "29/12/1899 06:00:00");
  EXPECT_EQ(DateText(-0.5), "12:00:00");
  EXPECT_EQ(DateText(-2.75), "28/12/1899 18:00:00");
  EXPECT_EQ(DateText(-1.999999999), "28/12/1899");
  EXPECT_EQ(DateText(-657434), "01/01/0100");
  EXPECT_EQ(DateText(2958465.5), "31/12/9999 12:00:00");
}

TEST(DateTextTest, DaysNoCalendarHoldsAreRefused) {
  EXPECT_THROW(DateText(1e10), ConversionError);
  EXPECT_THROW(DateText(-657435), ConversionError);
  EXPECT_THROW(DateText(2958466), ConversionError);
  EXPECT_THROW(DateText(std::nan("")), ConversionError);
}

TEST(DateFromTextTest, AcceptedForms) {
  EXPECT_EQ(TextDate("07/12/2026"), 46363);
  EXPECT_EQ(TextDate("7/12/2026"), 46363);
  EXPECT_EQ(TextDate("  2026-12-07 "), 46363);
  EXPECT_EQ(TextDate("07/12/2026 12:00:00"), 46363.5);
  EXPECT_EQ(TextDate("2024-01-01 06:00:00"), 45292.25);
  EXPECT_EQ(TextDate("29/12/1899 06:00:00"), -1.25);
  EXPECT_EQ(TextDate("12:00:00"), 0.5);
  EXPECT_EQ(TextDate("29/02/2024"), 45351);
  for (double ole_days : {45292.25, -1.25, 0.75, -2.75, 60.5}) {
    SCOPED_TRACE(ole_days);
    EXPECT_EQ(TextDate(DateText(ole_days)), ole_days);
  }
}

TEST(DateFromTextTest, RefusedForms) {
  for (const char* text :
       {"", "abc", "45292", "31/02/2024", "29/02/2023", "00/01/2024", "2024-13-01", "2024-1-1",
        "07-12-2026", "07/12/26", "07.12.2026", "07/12/2026 25:00:00", "07/12/2026 12:60:00",
        "07/12/2026 12:00", "07/12/2026T12:00:00", "07/12/2026 12:00:00x", "2024/01/01",
        "31/12/0099", "12:00"}) {
    SCOPED_TRACE(text);
    EXPECT_THROW(Value::Text(text).ToDate(), ConversionError);
  }
}

TEST(DateFromNumberTest, NumbersAreDayNumbers) {
  EXPECT_EQ(Value::Integer(0).ToDate(), Date{0});
  EXPECT_EQ(Value::Long(45292).ToDate(), Date{45292});
  EXPECT_EQ(Value::Double(45292.5).ToDate(), Date{45292.5});
  EXPECT_EQ(Value::Money(Currency{25000}).ToDate(), Date{2.5});
  EXPECT_EQ(Value::Boolean(true).ToDate(), Date{-1});
  EXPECT_EQ(Value::Day(Date{7.25}).ToDate(), Date{7.25});
  EXPECT_EQ(Value::Double(-657434.5).ToDate(), Date{-657434.5});
  EXPECT_THROW(Value::Double(-657435).ToDate(), ConversionError);
  EXPECT_THROW(Value::Double(2958466).ToDate(), ConversionError);
  EXPECT_THROW(Value::Double(std::nan("")).ToDate(), ConversionError);
}

}  // namespace
}  // namespace zav5::data
