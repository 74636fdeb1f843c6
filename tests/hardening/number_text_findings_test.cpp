// Findings of the number-pattern and date-text fuzzers, each with the input that showed it.
#include <gtest/gtest.h>

#include <charconv>
#include <string>
#include <vector>

#include "tarnwick/core/currency.h"
#include "tarnwick/core/date.h"
#include "tarnwick/core/default_text.h"
#include "tarnwick/core/numeric_text.h"
#include "tarnwick/core/report_text.h"

using namespace tarnwick;

namespace {

bool DigitsAndMarksOnly(const std::string& s) {
  for (char c : s)
    if (!((c >= '0' && c <= '9') || c == ',' || c == '.' || c == '%' || c == '-')) return false;
  return true;
}

}  // namespace

// A large value under a pattern with many decimals used to overrun the fixed text buffer and
// write whatever lay in memory.
TEST(NumberPatternFindings, LongTextOfLargeValueIsWrittenInFull) {
  const std::string pattern = "0." + std::string(100, '0');
  const std::string out = FormatNumber(1e300, pattern);
  ASSERT_TRUE(DigitsAndMarksOnly(out)) << out.substr(0, 80);
  ASSERT_EQ(out.size(), 301u + 1u + 100u);
  EXPECT_EQ(out.substr(0, 17), "10000000000000000");
  EXPECT_EQ(out.substr(302), std::string(100, '0'));
  EXPECT_EQ(ParseNumber(out), 1e300);

  const std::string grouped =
      FormatNumber(-1.7976931348623157e308, "#,##0." + std::string(95, '#'));
  ASSERT_TRUE(DigitsAndMarksOnly(grouped)) << grouped.substr(0, 80);
  EXPECT_EQ(grouped.substr(0, 8), "-179,769");
  EXPECT_EQ(grouped.back(), '.');  // "#" decimals of a whole value write nothing after the point
}

// A percentage of a finite value near the top of the double range overflowed to "Inf".
TEST(NumberPatternFindings, PercentOfHugeValueIsNotInfinity) {
  struct Case {
    double value;
    const char* pattern;
    const char* start;
    std::size_t size;
    const char* end;
  };
  const std::vector<Case> cases = {
      {1e308, "0%", "100000000000000001", 309 + 2 + 1, "00%"},
      {-1.5e308, "0.0%", "-1500000000000000016", 1 + 309 + 2 + 2 + 1, ".0%"},
      {1e307, "##.#0%", "99999999999999998603", 307 + 2 + 3 + 1, "00.00%"},
  };
  for (const auto& c : cases) {
    const std::string out = FormatNumber(c.value, c.pattern);
    ASSERT_TRUE(DigitsAndMarksOnly(out)) << c.pattern << " -> " << out;
    EXPECT_EQ(out.rfind(c.start, 0), 0u) << c.pattern << " -> " << out.substr(0, 30);
    EXPECT_EQ(out.size(), c.size) << c.pattern;
    EXPECT_EQ(out.substr(out.size() - std::string(c.end).size()), c.end) << c.pattern;
  }
  // Dropping the two percentage digits gives the value back.
  const std::string out = FormatNumber(1e308, "0%");
  EXPECT_EQ(ParseNumber(out.substr(0, out.size() - 3)), 1e308);
  // Below the overflow nothing changed.
  EXPECT_EQ(FormatNumber(0.125, "##.#0%"), "12.50%");
}

// An amount carries at most 17 decimals; a pattern forcing more zeros lost the extra ones,
// unlike the same pattern applied to a double.
TEST(NumberPatternFindings, AmountKeepsEveryForcedDecimal) {
  const std::string pattern = "0." + std::string(20, '0');
  EXPECT_EQ(FormatNumber(Currency::FromRaw(15000), pattern),
            "1." + std::string("5") + std::string(19, '0'));
  EXPECT_EQ(FormatNumber(Currency::FromRaw(15000), pattern), FormatNumber(1.5, pattern));
  EXPECT_EQ(FormatNumber(std::int64_t{-7}, pattern), "-7." + std::string(20, '0'));
  EXPECT_EQ(FormatNumber(Currency::FromRaw(1), "0.####################"), "0.0001");
}

// The default date text wrote years below 1000 with fewer than four digits, which the date
// test then refused: a date written by the engine must read back.
TEST(DateTextFindings, EveryYearReadsBack) {
  struct Case {
    int y, m, d;
    const char* text;
  };
  const std::vector<Case> cases = {{100, 1, 1, "1/1/0100"},
                                   {999, 12, 31, "12/31/0999"},
                                   {1000, 3, 1, "3/1/1000"},
                                   {9999, 12, 31, "12/31/9999"}};
  for (const auto& c : cases) {
    const auto date = Date::FromYmd(c.y, c.m, c.d);
    ASSERT_TRUE(date.has_value()) << c.text;
    EXPECT_EQ(DateText(*date), c.text);
    const auto back = ParseDate(DateText(*date));
    ASSERT_TRUE(back.has_value()) << c.text;
    EXPECT_EQ(back->serial(), date->serial()) << c.text;
  }
  const auto withTime = ParseDate("3/4/0101 6:00 PM");
  ASSERT_TRUE(withTime.has_value());
  EXPECT_EQ(DateText(*withTime), "3/4/0101 6:00:00 PM");
  EXPECT_EQ(ParseDate(DateText(*withTime)), withTime);
}
