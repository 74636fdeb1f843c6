#include "tarnwick/audit/misc.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "tarnwick/core/default_text.h"
#include "tarnwick/core/error.h"

namespace tarnwick {
namespace {

TEST(Misc, RoundnessOfAmountTexts) {
  const std::pair<const char*, int> cases[] = {
      {"1,000", 3},
      {"2500.00", 2},
      {"12.50", 0},
      {"250.5", 0},
      {"0", 1},
      {"100 ", 0},
      {"$(1,000.00)", 3},
      {"1000.50", 0},
      {"100000000000000000", 14},
      {"", 0},
      {"1.2.0", 0},
      {"100.", 2},
      {"-500", 2},
      {"+5,000.00", 3},
      {"0.00", 1},
      {"1E3", 0},
      {"10A0", 1},
      {"100.0A", 0},
      {"7", 0},
      {"20.000", 1},
      {"300.001", 0},
      {"$1,234,567,890,123,456,789,012,345,678,901,234,567,890,123,456,789,012,345,600.00", 2},
  };
  for (const auto& [text, r] : cases) EXPECT_EQ(cMisc::Roundness(text), r) << '"' << text << '"';
}

TEST(Misc, RoundNumberCountsAndReport) {
  cMisc m;
  EXPECT_EQ(m.RNReport(), "No observations");
  EXPECT_EQ(m.RNAddItem("100"), 2);
  EXPECT_EQ(m.RNAddItem("250"), 1);
  EXPECT_EQ(m.RNAddItem("33"), 0);
  EXPECT_EQ(m.Count(0), 1);
  EXPECT_EQ(m.Count(1), 1);
  EXPECT_EQ(m.Count(2), 1);
  EXPECT_EQ(m.NotRN(), 1);
  // d = the largest of |.9 - 1/3|, |.99 - 2/3|, |.999 - 1|
  EXPECT_EQ(m.RNReport(),
            "Round Number report:\r\n"
            "d-stat: .566667\r\n"
            "Digits\tCount\tPct\r\n"
            "Not Round\t1\t33.33%\r\n"
            "1\t1\t33.33%\r\n"
            "2\t1\t33.33%\r\n"
            "Totals\t3\t100.00%\r\n");

  m.init();
  EXPECT_EQ(m.Count(2), 0);
  EXPECT_EQ(m.NotRN(), 0);
  for (int i = 0; i < 1500; ++i) m.RNAddItem("12.34");
  EXPECT_EQ(m.RNReport(),
            "Round Number report:\r\n"
            "d-stat: .100000\r\n"
            "Digits\tCount\tPct\r\n"
            "Not Round\t1,500\t100.00%\r\n"
            "Totals\t1,500\t100.00%\r\n");
  m.RNAddItem("1" + std::string(17, '0'));
  EXPECT_EQ(m.Count(14), 1);
  EXPECT_NE(m.RNReport().find("\r\n14\t1\t.07%\r\n"), std::string::npos) << m.RNReport();

  for (std::int16_t i : {std::int16_t{-1}, std::int16_t{21}}) {
    try {
      (void)m.Count(i);
      ADD_FAILURE() << i;
    } catch (const EngineError& e) {
      EXPECT_EQ(e.code(), ErrorCode::SubscriptOutOfRange);
    }
  }
  EXPECT_EQ(m.Count(20), 0);
}

TEST(Misc, QuartersOfDates) {
  const cMisc m;
  struct Case {
    const char* date;
    const char* type;
    const char* fmt;
    const char* expected;
  };
  const Case cases[] = {
      {"8/15/2001", "S", "YRQ", "20011"}, {"8/15/2001", "F", "QYR", "42001"},
      {"8/15/2001", "C", "Q", "3"},       {"8/15/2001", "9", "Q", "4"},
      {"8/15/2001", "s", "yrq", "20011"}, {"8/15/2001", "12", "Q", "3"},
      {"1/1/2001", "S", "Q", "3"},        {"12/31/2001", "F", "YRQ", "20011"},
      {"4/1/2001", "3", "Q", "1"},        {"8/15/2001", "X", "Q", "0"},
      {"8/15/2001", "13", "Q", "0"},      {"8/15/2001", "C", "Z", ""},
      {"not a date", "C", "Q", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(m.Cal(c.date, c.type, c.fmt), c.expected) << c.date << " " << c.type << " " << c.fmt;
  EXPECT_EQ(m.Cal("11/2/2010"), "4");

  const std::int16_t handles[][3] = {{12, 1, 1}, {1, 1, 4}, {6, 7, 1},  {6, 6, 4},
                                     {3, 4, 1},  {3, 3, 4}, {9, 12, 1}, {13, 1, 0}};
  for (const auto& h : handles) EXPECT_EQ(m.handle(h[0], h[1]), h[2]) << h[0] << "," << h[1];
}

TEST(Misc, ZipAndAreaCodesFromText) {
  const cMisc m;
  const std::pair<const char*, const char*> zips[] = {
      {"100 Main St, Springfield, IL 62704-1234", "62704"},
      {"PO Box 77, Dover DE 19901", "19901"},
      {"Customer 55555 order 12345 ZIP 62704", "62704"},
      {"12345", "12345"},
      {"no zip here 1234", ""},
      {"1234", ""},
      {"X1234 Y", ""},
  };
  for (const auto& [text, zip] : zips) EXPECT_EQ(m.zc(text), zip) << text;

  const std::pair<const char*, const char*> phones[] = {
      {"212-555-1234", "212"}, {"2125551234", "212"},
      {"(212) 555-1234", ""},  {"tel 212-555-1234", "212"},
      {"212.555.1234", "212"}, {"1-212-555-1234", "212"},
      {"555-1234", ""},        {"phone: none", ""},
      {"212-55-12345", ""},
  };
  for (const auto& [text, code] : phones) EXPECT_EQ(m.ac(text), code) << text;
}

TEST(Misc, AreaCodeLookups) {
  const cMisc m;
  const std::pair<const char*, int> codes[] = {
      {"12125551234", -1}, {"212", 212}, {"(212) 555-1234", 212}, {"", -1}, {"abc", -1},
      {"21", -1},          {"021", 21}};
  for (const auto& [text, code] : codes) EXPECT_EQ(m.AreaCode(text), code) << text;

  struct Row {
    const char* text;
    const char* state;
    const char* country;
    const char* zone;
  };
  const Row rows[] = {
      {"2125551234", "NY", "US", "E"},
      {"907", "AK", "US", "(UTC-9)"},
      {"242", "Bahamas", "BAHAMAS", "E"},
      {"868", "Trinidad & Tobago", "TRINIDAD AND TOBAGO", "A"},
      {"869", "St. Kitts & Nevis", "ST. KITTS AND NEVIS", "A"},
      {"649", "Turks & Caicos Islands", "TURKS & CAICOS ISLANDS", "E"},
      {"600", "Canada", "CANADA", ""},
      {"220", "", "US", ""},
      {"236", "", "CANADA", ""},
      {"800", "NANP area", "", ""},
      {"710", "US", "US", ""},
      {"670", "CNMI", "US", "(UTC+10)"},
      {"787", "Puerto Rico", "US", "A"},
      {"867", "Yukon, NW Terr., Nunavut", "CANADA", "CMP"},
      {"902", "Nova Scotia, Prince Edward Island", "CANADA", "A"},
      {"709", "Newfoundland", "CANADA", "NA"},
      {"208", "ID", "US", "MP"},
      {"808", "HI", "US", "(UTC-10)"},
      {"999", "", "", ""},
      {"123", "", "", ""},
      {"12125551234", "", "", ""},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(m.State(r.text), r.state) << r.text;
    EXPECT_EQ(m.Country(r.text), r.country) << r.text;
    EXPECT_EQ(m.TimeZone(r.text), r.zone) << r.text;
  }
}

TEST(Misc, AreaCodeTableCensus) {
  cMisc m;
  m.acinit();  // a second fill writes the same values
  int any = 0, states = 0;
  std::map<std::string, int> zones, countries;
  for (int code = 200; code <= 999; ++code) {
    const std::string t = NumText(static_cast<std::int32_t>(code));
    const std::string s = m.State(t), c = m.Country(t), z = m.TimeZone(t);
    if (!s.empty() || !c.empty() || !z.empty()) ++any;
    if (!s.empty()) ++states;
    ++zones[z];
    ++countries[c];
  }
  EXPECT_EQ(any, 408);
  EXPECT_EQ(states, 368);
  EXPECT_EQ(zones["E"], 152);
  EXPECT_EQ(zones["C"], 94);
  EXPECT_EQ(zones["P"], 50);
  EXPECT_EQ(zones["M"], 19);
  EXPECT_EQ(zones["A"], 17);
  EXPECT_EQ(zones["EC"], 10);
  EXPECT_EQ(zones["CM"], 6);
  EXPECT_EQ(countries["US"], 319);
  EXPECT_EQ(countries["CANADA"], 63);
}

}  // namespace
}  // namespace tarnwick
