#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "tarnwick/core/report_text.h"

namespace tarnwick {
namespace {

struct PatternCase {
  double value;
  const char* pattern;
  const char* expected;
};

class FormatNumberTest : public ::testing::TestWithParam<PatternCase> {};

TEST_P(FormatNumberTest, RendersAsTheReportsExpect) {
  const PatternCase& c = GetParam();
  EXPECT_EQ(FormatNumber(c.value, c.pattern), c.expected) << c.value << " with " << c.pattern;
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, FormatNumberTest,
    ::testing::Values(
        PatternCase{2.5, "0", "3"}, PatternCase{0.125, "0.00", "0.13"},
        PatternCase{3.14159, "00.###0", "03.1416"}, PatternCase{0.04, "#.####0", ".04000"},
        PatternCase{0.5, ".0%", "50.0%"}, PatternCase{0.005, ".0%", ".5%"},
        PatternCase{1234567890123.0, "###,##0", "1,234,567,890,123"},
        PatternCase{5, "##,###.##", "5."}, PatternCase{1234, "##,###.##", "1,234."},
        PatternCase{0, "#,###,###", ""}, PatternCase{0, "##,###", ""},
        PatternCase{0, "###,###,##0", "0"}, PatternCase{-1234.5, "#,###,###,###.00", "-1,234.50"},
        PatternCase{-0.5, "#.####0", "-.50000"}, PatternCase{0.5, "#.####0", ".50000"},
        PatternCase{12.3456789, "#.####0", "12.34568"}, PatternCase{0.1234, "##.#0%", "12.34%"},
        PatternCase{1, "##.#0%", "100.00%"},
        PatternCase{1234567.891, "###,###,###.#0", "1,234,567.89"},
        PatternCase{1234567.891, "#,###,###,###.00", "1,234,567.89"}, PatternCase{7, "00", "07"},
        PatternCase{123, "00", "123"}, PatternCase{-0.004, "#0.####0", "-0.00400"},
        PatternCase{1.5, "##,###.##", "1.5"}, PatternCase{1.25, "##,###.##", "1.25"},
        PatternCase{1.2, "##,###.#0", "1.20"},
        PatternCase{0.000123, "#########.#######", ".000123"},
        PatternCase{12345678, "#########.#######", "12345678."},
        PatternCase{1e20, "###,##0", "100,000,000,000,000,000,000"},
        PatternCase{-3, "###,###,##0", "-3"}, PatternCase{999.995, "###,###.00", "1,000.00"},
        PatternCase{-0.0001, "###,###.00", ".00"},
        // The exact value of the double is rounded, not its product with a power of ten: the
        // double nearest 99999999999.99499 is 99999999999.9949951171875 (times 100 it would
        // round up to a half), 0.015 is 0.01499999999999999944..., 0.0045 is 0.00449999...
        PatternCase{99999999999.99499, "###,###.00", "99,999,999,999.99"},
        PatternCase{-99999999999.99499, "###,###.00", "-99,999,999,999.99"},
        PatternCase{0.015, "#,###,###,###.00", ".01"}, PatternCase{1.005, "0.00", "1.00"},
        PatternCase{2.675, "##,###.#0", "2.67"}, PatternCase{0.0045, ".0%", ".4%"},
        PatternCase{0.00045, "##.#0%", ".04%"}, PatternCase{0.000155, "###,###.####0", ".00015"},
        PatternCase{0.375, "##,###.#0", ".38"},  // an exact half still goes away from zero
        PatternCase{4503599627370495.5, "0", "4503599627370496"},
        PatternCase{9007199254740993.0, "###,##0.00", "9,007,199,254,740,992.00"},
        PatternCase{5e-324, "#.####0", ".00000"},
        PatternCase{
            1.7976931348623157e308, ".0%",
            "17976931348623157081452742373170435679807056752584499659891747680315726078002853876058"
            "95586327668781715404589535143824642343213268894641827684675467035375169860499105765512"
            "82076245490090389328944075868508455133942304583236903222948165808559332123348274797826"
            "20414472316873817718091929988125040402618412485836800.0%"}));

TEST(FormatNumber, RoundScaledIsTheExactValueRounded) {
  struct Case {
    double value;
    int decimals;
    bool ok;
    std::uint64_t scaled;
  };
  const Case cases[] = {
      {99999999999.99499, 2, true, 9999999999999ULL},
      {-0.015, 2, true, 1},  // the magnitude
      {0.125, 2, true, 13},
      {0.0, 7, true, 0},
      {5e-324, 19, true, 0},
      {18446744073709549568.0, 0, true, 18446744073709549568ULL},  // the largest below 2^64
      {18446744073709551616.0, 0, false, 0},                       // 2^64
      {184467440737095.53, 4, true, 1844674407370955313ULL},       // 184467440737095.53125
      {1844674407370955.2, 4, false, 0},  // 18446744073709552500 is beyond 64 bits
      {1.5, 20, false, 0},
      {std::nan(""), 2, false, 0},
  };
  for (const Case& c : cases) {
    std::uint64_t out = 12345;
    EXPECT_EQ(RoundScaled(c.value, c.decimals, out), c.ok) << c.value;
    if (c.ok) {
      EXPECT_EQ(out, c.scaled) << c.value;
    }
  }
}

TEST(FormatNumber, FixedPointAmountsAreExact) {
  EXPECT_EQ(FormatNumber(Currency::FromRaw(INT64_MAX), "###,###,###,###,###.#0"),
            "922,337,203,685,477.58");
  EXPECT_EQ(FormatNumber(Currency::FromRaw(INT64_MIN), "#,###,###,###.00"),
            "-922,337,203,685,477.58");
  EXPECT_EQ(FormatNumber(Currency(0.125), "0.00"), "0.13");
  EXPECT_EQ(FormatNumber(Currency(0.5), "##.#0%"), "50.00%");
  EXPECT_EQ(FormatNumber(Currency(12.3456), "#.#####0"), "12.345600");
  EXPECT_EQ(FormatNumber(std::int32_t{-42}, "###,##0"), "-42");
  EXPECT_EQ(FormatNumber(std::int64_t{1234567}, "#,###,###"), "1,234,567");
}

TEST(DefaultText, NumbersAsTheHostWritesThem) {
  EXPECT_EQ(NumText(0.5), "0.5");
  EXPECT_EQ(NumText(-0.5), "-0.5");
  EXPECT_EQ(NumText(3.0), "3");
  EXPECT_EQ(NumText(0.0), "0");
  EXPECT_EQ(NumText(-0.0), "0");
  EXPECT_EQ(NumText(1.0 / 3.0), "0.333333333333333");
  EXPECT_EQ(NumText(0.0001), "0.0001");
  EXPECT_EQ(NumText(999999999999999.0), "999999999999999");
  EXPECT_EQ(NumText(1e15), "1E+15");
  EXPECT_EQ(NumText(0.00001), "1E-05");
  EXPECT_EQ(NumText(123456.789), "123456.789");
  EXPECT_EQ(NumText(std::int32_t{-7}), "-7");
  EXPECT_EQ(NumText(Currency(12.5)), "12.5");
  EXPECT_EQ(NumText(Currency(-0.0001)), "-0.0001");
  EXPECT_EQ(NumText(Currency(3.0)), "3");
  EXPECT_EQ(DateText(*Date::FromYmd(2007, 12, 31)), "12/31/2007");
  EXPECT_EQ(DateText(*Date::FromYmd(2008, 1, 5)), "1/5/2008");
  EXPECT_EQ(DateText(Date(0.5)), "12/30/1899 12:00:00 PM");
}

}  // namespace
}  // namespace tarnwick

namespace tarnwick {
namespace {

// The default text must be the value rounded to 15 significant digits, trailing zeros dropped,
// for every double: compare with the C library's %.15g on random bit patterns and on amounts.
TEST(DefaultText, MatchesFifteenSignificantDigitsEverywhere) {
  std::uint64_t s = 12345;
  auto next = [&s] {
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    return s;
  };
  auto reference = [](double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    std::string r = buf;
    const auto e = r.find('e');
    if (e == std::string::npos) return r == "-0" ? std::string("0") : r;
    // the host writes E+15 / E-05
    std::string m = r.substr(0, e), x = r.substr(e + 1);
    const char sign = x[0];
    x = x.substr(1);
    while (x.size() > 2 && x[0] == '0') x.erase(0, 1);
    return m + "E" + sign + x;
  };
  for (int i = 0; i < 300000; ++i) {
    double v;
    const std::uint64_t bits = next();
    if (i % 3 == 0) {
      std::memcpy(&v, &bits, sizeof v);
      if (!std::isfinite(v)) continue;
    } else if (i % 3 == 1) {
      v = static_cast<double>(static_cast<std::int64_t>(bits % 200000000000ULL) - 100000000000LL) /
          100.0;
    } else {
      v = std::ldexp(static_cast<double>(bits >> 11), static_cast<int>(next() % 120) - 100);
    }
    ASSERT_EQ(NumText(v), reference(v)) << std::hexfloat << v;
  }
  for (double v : {0.1 + 0.2, 999999999999999.4, 999999999999999.6, 1e-4, 0.99999999999999989,
                   9.9999999999999995e-5, 123456789012345.67, 0.30000000000000004}) {
    EXPECT_EQ(NumText(v), reference(v)) << std::hexfloat << v;
  }
}

}  // namespace
}  // namespace tarnwick
