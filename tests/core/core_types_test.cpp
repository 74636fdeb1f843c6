#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "../support/engine_error.h"
#include "tarnwick/core/arith.h"
#include "tarnwick/core/currency.h"
#include "tarnwick/core/date.h"
#include "tarnwick/core/error.h"
#include "tarnwick/core/numeric_text.h"
#include "tarnwick/core/text.h"
#include "tarnwick/core/variant.h"

namespace tarnwick {
namespace {

using testing::CodeOf;

TEST(Currency, RoundsToTenThousandthsHalvesToEven) {
  // The amount is the double times 10,000 rounded to the nearest whole, halves to even.
  EXPECT_EQ(Currency(1.00005).raw(), 10001);  // the product is 10000.500000000002
  EXPECT_EQ(Currency(0.00025).raw(), 2);      // 2.5 -> 2 (even)
  EXPECT_EQ(Currency(0.00075).raw(), 8);      // 7.5 -> 8 (even)
  EXPECT_EQ(Currency(-0.00025).raw(), -2);
  EXPECT_EQ(Currency(12.3456).raw(), 123456);
  EXPECT_EQ(Currency(-12.3456).ToDouble(), -12.3456);
}

TEST(Currency, RangeEdgesAndOverflow) {
  // The largest amount a double can name below 2^63 ten-thousandths converts; 2^63 does not.
  EXPECT_NO_THROW(Currency::FromDouble(922337203685477.0));
  EXPECT_EQ(CodeOf([] { Currency::FromDouble(922337203685477.6); }), ErrorCode::Overflow);
  EXPECT_EQ(CodeOf([] { Currency::FromDouble(-922337203685477.7); }), ErrorCode::Overflow);
  EXPECT_EQ(CodeOf([] { Currency::FromDouble(std::nan("")); }), ErrorCode::Overflow);
  EXPECT_EQ(CodeOf([] { (void)(Currency::Max() + Currency::FromRaw(1)); }), ErrorCode::Overflow);
  EXPECT_EQ(CodeOf([] { (void)(Currency::Min() - Currency::FromRaw(1)); }), ErrorCode::Overflow);
  EXPECT_EQ(CodeOf([] { (void)(-Currency::Min()); }), ErrorCode::Overflow);
  EXPECT_EQ(CodeOf([] { (void)(Currency(1e10) * Currency(1e10)); }), ErrorCode::Overflow);
  EXPECT_EQ(Currency::Max().Text(), "922337203685477.5807");
  EXPECT_EQ(Currency::Min().Text(), "-922337203685477.5808");
}

TEST(Currency, ProductsRoundHalvesToEven) {
  EXPECT_EQ((Currency(0.0001) * Currency(0.5)).raw(), 0);  // 0.5 ten-thousandth -> 0
  EXPECT_EQ((Currency(0.0003) * Currency(0.5)).raw(), 2);  // 1.5 -> 2
  EXPECT_EQ((Currency(-0.0003) * Currency(0.5)).raw(), -2);
  EXPECT_EQ((Currency(12.5) * Currency(4)).Text(), "50");
}

TEST(Date, SerialsAroundTheEpochAndNineteenHundred) {
  struct Case {
    int y, m, d;
    double serial;
    int weekday;
  };
  for (const Case& c :
       {Case{1899, 12, 30, 0, 7}, Case{1899, 12, 31, 1, 1}, Case{1900, 1, 1, 2, 2},
        Case{1900, 2, 28, 60, 4}, Case{1900, 3, 1, 61, 5}, Case{1899, 12, 29, -1, 6},
        Case{2000, 2, 29, 36585, 3}, Case{2007, 12, 31, 39447, 2}, Case{1800, 1, 1, -36522, 4}}) {
    const auto date = Date::FromYmd(c.y, c.m, c.d);
    ASSERT_TRUE(date) << c.y << "-" << c.m << "-" << c.d;
    EXPECT_EQ(date->serial(), c.serial) << c.y << "-" << c.m << "-" << c.d;
    EXPECT_EQ(date->Weekday(), c.weekday) << c.serial;
    EXPECT_EQ(date->Ymd(), (YearMonthDay{c.y, c.m, c.d}));
  }
  EXPECT_FALSE(Date::FromYmd(1900, 2, 29));  // not a leap year
  EXPECT_FALSE(Date::FromYmd(2023, 13, 1));
  EXPECT_FALSE(Date::FromYmd(2023, 4, 31));
}

TEST(Date, SerialRollsOverLikeTheHost) {
  EXPECT_EQ(Date::Serial(2023, 13, 1), *Date::FromYmd(2024, 1, 1));
  EXPECT_EQ(Date::Serial(2024, 3, 0), *Date::FromYmd(2024, 2, 29));
  EXPECT_EQ(Date::Serial(2024, 0, 15), *Date::FromYmd(2023, 12, 15));
  EXPECT_EQ(Date::Serial(2024, -11, 1), *Date::FromYmd(2023, 1, 1));
  EXPECT_EQ(Date::Serial(2024, 1, 32), *Date::FromYmd(2024, 2, 1));
}

TEST(NumericText, AcceptedForms) {
  struct Case {
    const char* text;
    double value;
  };
  for (const Case& c :
       {Case{"12", 12}, Case{" 12.5 ", 12.5}, Case{"-3", -3}, Case{"+3", 3},
        Case{"1,234,567.89", 1234567.89}, Case{"$1,000", 1000}, Case{"-$5.25", -5.25},
        Case{"$-5.25", -5.25}, Case{"(12.50)", -12.5}, Case{"( $7 )", -7}, Case{".5", 0.5},
        Case{"5.", 5}, Case{"1e3", 1000}, Case{"1.5E-2", 0.015}, Case{"2D2", 200}, Case{"7-", -7},
        Case{"0", 0}, Case{"00012", 12}, Case{"- 4", -4}}) {
    const auto v = ParseNumber(c.text);
    ASSERT_TRUE(v) << c.text;
    EXPECT_DOUBLE_EQ(*v, c.value) << c.text;
  }
}

TEST(NumericText, PlainDecimalsReadToTheNearestDouble) {
  // Plain decimals take a short path; it must give the correctly rounded double, as strtod
  // does, on both sides of its 15-digit limit.
  std::mt19937_64 rng(7);
  int differ = 0;
  for (int i = 0; i < 300000; ++i) {
    const int digits = 1 + static_cast<int>(rng() % 18);
    const int decimals = static_cast<int>(rng() % (digits + 1));
    std::string t = rng() % 4 == 0 ? "-" : "";
    for (int k = 0; k < digits; ++k) {
      if (k == digits - decimals) t += k == 0 && rng() % 2 ? "0." : ".";
      t += static_cast<char>('0' + rng() % 10);
    }
    const auto v = ParseNumber(t);
    const double want = std::strtod(t.c_str(), nullptr);
    if (!v || std::memcmp(&*v, &want, sizeof want) != 0) ++differ;
  }
  EXPECT_EQ(differ, 0);
  const auto negativeZero = ParseNumber("-0.00");
  ASSERT_TRUE(negativeZero);
  EXPECT_TRUE(std::signbit(*negativeZero));
  EXPECT_EQ(ParseNumber("-.5"), -0.5);
  EXPECT_EQ(ParseNumber("999999999999999"), 999999999999999.0);
  EXPECT_EQ(ParseNumber("0.1"), 0.1);
}

TEST(NumericText, RejectedForms) {
  for (const char* t :
       {"",    " ",   ".",    "-",  "$",   "abc", "12a", "1.2.3",   ",12",  "1e",    "1e+",
        "inf", "nan", "(-5)", "(5", "--5", "5 5", "\t5", "1,2.3,4", "0x10", "1e999", "12%"}) {
    EXPECT_FALSE(ParseNumber(t)) << '"' << t << '"';
  }
}

TEST(DateText, AcceptedForms) {
  struct Case {
    const char* text;
    int y, m, d;
  };
  for (const Case& c :
       {Case{"12/31/2007", 2007, 12, 31}, Case{"1/5/2008", 2008, 1, 5},
        Case{"01-05-2008", 2008, 1, 5}, Case{"1.5.2008", 2008, 1, 5}, Case{"3/1/29", 2029, 3, 1},
        Case{"3/1/30", 1930, 3, 1}, Case{"3/1/00", 2000, 3, 1}, Case{"3/1/99", 1999, 3, 1},
        Case{" 2/29/2000 ", 2000, 2, 29}, Case{"2008-01-05", 2008, 1, 5}}) {
    const auto d = ParseDate(c.text);
    ASSERT_TRUE(d) << c.text;
    EXPECT_EQ(d->Ymd(), (YearMonthDay{c.y, c.m, c.d})) << c.text;
    EXPECT_EQ(d->SecondsOfDay(), 0);
  }
  const auto t = ParseDate("1/5/2008 1:30 PM");
  ASSERT_TRUE(t);
  EXPECT_EQ(t->Day(), Date::FromYmd(2008, 1, 5)->Day());
  EXPECT_EQ(t->SecondsOfDay(), 13 * 3600 + 30 * 60);
  EXPECT_EQ(ParseDate("1/5/2008 12:00:01 AM")->SecondsOfDay(), 1);
  EXPECT_EQ(ParseDate("1/5/2008 23:59:59")->SecondsOfDay(), 86399);
}

TEST(DateText, RejectedForms) {
  for (const char* t : {"", "12", "12/31", "13/1/2008", "2/30/2008", "2/29/1900", "1/5/208",
                        "1/5/20080", "1/5-2008", "1//2008", "a/b/c", "1/5/2008 25:00",
                        "1/5/2008 13:00 PM", "1/5/2008x", "0/5/2008", "1/0/2008"}) {
    EXPECT_FALSE(ParseDate(t)) << '"' << t << '"';
  }
}

// The three orders of date text: serials independent of the code (Python's date.toordinal()
// minus 693,594, the ordinal of 30 December 1899).
TEST(DateText, OrdersOfDayMonthAndYear) {
  struct Case {
    const char* text;
    double mdy, dmy, ymd;  // -1: not a date in that order
  };
  const Case cases[] = {
      {"12/31/2023", 45291, -1, -1},       {"31/12/2023", -1, 45291, -1},
      {"1/2/2023", 44928, 44958, -1},       // 2 January or 1 February
      {"23/12/31", -1, 11680, 45291},       // 23 December 1931, or 31 December 2023
      {"2023-12-31", 45291, 45291, 45291},  // a four-digit year first in every order
      {"05.01.24", 45413, 45296, 38376},   {"13/13/2023", -1, -1, -1},
      {"29/2/2023", -1, -1, -1},           {"29.2.2024 10:30", -1, 45351.4375, -1},
  };
  for (const Case& c : cases) {
    const DateOrder orders[] = {DateOrder::kMdy, DateOrder::kDmy, DateOrder::kYmd};
    const double want[] = {c.mdy, c.dmy, c.ymd};
    for (int k = 0; k < 3; ++k) {
      const auto d = ParseDate(c.text, orders[k]);
      if (want[k] < 0) {
        EXPECT_FALSE(d) << c.text << " order " << k;
      } else {
        ASSERT_TRUE(d) << c.text << " order " << k;
        EXPECT_EQ(d->serial(), want[k]) << c.text << " order " << k;
      }
    }
    EXPECT_EQ(ParseDate(c.text).has_value(), c.mdy >= 0) << c.text;
  }
}

TEST(Arith, ConversionsRoundHalvesToEvenAndCheckWidth) {
  EXPECT_EQ(ToLong(2.5), 2);
  EXPECT_EQ(ToLong(3.5), 4);
  EXPECT_EQ(ToLong(-2.5), -2);
  EXPECT_EQ(ToInteger(32767.4), 32767);
  EXPECT_EQ(CodeOf([] { ToInteger(32767.5); }), ErrorCode::Overflow);
  EXPECT_EQ(CodeOf([] { ToLong(2147483647.5); }), ErrorCode::Overflow);
  EXPECT_EQ(ToLong(-2147483648.0), INT32_MIN);
  EXPECT_EQ(CodeOf([] { Div(1, 0); }), ErrorCode::DivisionByZero);
  EXPECT_EQ(CodeOf([] { Div(0, 0); }), ErrorCode::DivisionByZero);
  EXPECT_EQ(CodeOf([] { Sqr(-1); }), ErrorCode::InvalidArgument);
  EXPECT_EQ(CodeOf([] { Checked(std::numeric_limits<double>::infinity()); }), ErrorCode::Overflow);
  EXPECT_EQ(CodeOf([] { AddChecked<std::int16_t>(32767, 1); }), ErrorCode::Overflow);
  EXPECT_EQ(CodeOf([] { Narrow<std::int16_t>(std::int32_t{40000}); }), ErrorCode::Overflow);
}

TEST(TextHelpers, TrimSpacesOnlyAndAsciiCase) {
  EXPECT_EQ(Trim("  a b  "), "a b");
  EXPECT_EQ(Trim("\ta\t"), "\ta\t");
  EXPECT_EQ(LTrim("  x "), "x ");
  EXPECT_EQ(RTrim("  x "), "  x");
  EXPECT_EQ(UCase("abc\xe9z"), "ABC\xe9Z");
  EXPECT_EQ(LCase("ABC"), "abc");
  EXPECT_TRUE(EqualsNoCase("Amount", "AMOUNT"));
  EXPECT_FALSE(EqualsNoCase("Amount", "Amounts"));
}

TEST(VariantTest, ConversionsAndMismatch) {
  EXPECT_EQ(Variant("12.5").ToDouble(), 12.5);
  EXPECT_EQ(Variant().ToDouble(), 0.0);
  EXPECT_EQ(Variant(true).ToDouble(), -1.0);
  EXPECT_EQ(Variant("1/5/2008").ToDate(), *Date::FromYmd(2008, 1, 5));
  EXPECT_EQ(Variant(0.5).ToText(), "0.5");
  EXPECT_EQ(Variant(*Date::FromYmd(2008, 1, 5)).ToText(), "1/5/2008");
  EXPECT_EQ(Variant(false).ToText(), "False");
  EXPECT_EQ(CodeOf([] { Variant("abc").ToDouble(); }), ErrorCode::TypeMismatch);
  EXPECT_EQ(CodeOf([] { Variant("abc").ToDate(); }), ErrorCode::TypeMismatch);
  EXPECT_TRUE(Variant().IsEmpty());
}

}  // namespace
}  // namespace tarnwick
