#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "tarnwick/core/error.h"
#include "tarnwick/core/holiday_calendar.h"
#include "tarnwick/core/numeric_text.h"
#include "tarnwick/core/report_text.h"
#include "tarnwick/expr/is_num.h"
#include "tarnwick/expr/parser.h"
#include "tarnwick/platform/notice.h"

namespace tarnwick {
namespace {

// Everything a caller can observe after one row.
struct Outcome {
  bool threw = false;
  bool abandoned = false;  // the plain evaluation left by an arithmetic error
  ErrorCode code = ErrorCode::InvalidArgument;
  bool selected = false;
  std::string errMsg, rest, rpn, deb;
  std::int16_t cols = 0;
  std::string ans, rType, sResult, opDeb;
  bool opErr = false, bresult = false;
  double dResult = 0;
  std::size_t notices = 0;
};

void ExpectSame(const Outcome& a, const Outcome& b, const std::string& what) {
  EXPECT_EQ(a.threw, b.threw) << what;
  if (a.threw && b.threw) {
    EXPECT_EQ(a.code, b.code) << what;
  }
  EXPECT_EQ(a.selected, b.selected) << what;
  EXPECT_EQ(a.errMsg, b.errMsg) << what;
  EXPECT_EQ(a.rest, b.rest) << what;
  EXPECT_EQ(a.rpn, b.rpn) << what;
  EXPECT_EQ(a.deb, b.deb) << what;
  EXPECT_EQ(a.cols, b.cols) << what;
  EXPECT_EQ(a.ans, b.ans) << what;
  EXPECT_EQ(a.opDeb, b.opDeb) << what;
  EXPECT_EQ(a.opErr, b.opErr) << what;
  EXPECT_EQ(a.rType, b.rType) << what;
  EXPECT_EQ(a.sResult, b.sResult) << what;
  EXPECT_EQ(a.bresult, b.bresult) << what;
  EXPECT_EQ(a.dResult, b.dResult) << what;
  EXPECT_EQ(a.notices, b.notices) << what;
}

void Capture(Outcome& o, cParse& p, cOP& op, const NoticeCapture& n, std::size_t before) {
  o.errMsg = p.ErrMsg();
  o.rest = p.Infix();
  o.rpn = p.RPN();
  o.deb = p.Deb();
  o.cols = p.cols();
  o.ans = op.ans();
  o.opDeb = op.Deb();
  o.opErr = op.Err();
  o.rType = op.rType();
  o.sResult = op.sResult();
  o.bresult = op.bresult();
  o.dResult = op.dResult();
  o.notices = n.texts().size() - before;
}

// The plain calling order of a reader: everything anew for the row, on the reader's parser.
Outcome Plain(cParse& p, const std::string& filter, const std::string& header,
              const std::string& row, cOP& op, const NoticeCapture& n) {
  Outcome o;
  const std::size_t before = n.texts().size();
  try {
    p.Infix(filter);
    p.Headers(header);
    p.parse();
    if (!p.Err()) {
      p.ReplaceColnames();
      // A row selects only when no operation failed; an arithmetic error of the evaluation
      // leaves the row unselected as a failed operation, and the prepared path says so.
      try {
        p.SubRow(row);
        op.EvalRPN(p.RPN());
      } catch (const EngineError&) {
        op.Abandon();
        o.abandoned = true;
      }
      o.selected = !op.AnyErr() && op.ans() == "TRUE";
    }
  } catch (const EngineError& e) {
    o.threw = true;
    o.code = e.code();
  }
  Capture(o, p, op, n, before);
  // a parser that never saw another filter converts it the same way
  if (!o.threw && !p.Err()) {
    cParse fresh;
    fresh.Infix(filter);
    fresh.Headers(header);
    fresh.parse();
    fresh.ReplaceColnames();
    fresh.SubRow(row);
    EXPECT_EQ(fresh.RPN(), o.rpn) << filter << " | " << row;
  }
  return o;
}

// The row split at every TAB, as a reader hands it over.
std::vector<std::string_view> SplitFields(const std::string& row) {
  std::vector<std::string_view> out;
  if (row.empty()) return out;
  std::size_t pos = 0;
  for (;;) {
    const std::size_t tab = row.find('\t', pos);
    out.emplace_back(std::string_view(row).substr(
        pos, tab == std::string::npos ? std::string::npos : tab - pos));
    if (tab == std::string::npos) return out;
    pos = tab + 1;
  }
}

// A prepared filter shows "Too many parens" once, on the first row that shows it in the plain
// order; `shown` follows that across the rows of one prepared filter.
void ExpectNoticeOnce(const Outcome& plain, Outcome& prepared, bool& shown,
                      const std::string& what) {
  EXPECT_EQ(prepared.notices, plain.notices > 0 && !shown ? 1u : 0u) << what;
  shown = shown || plain.notices > 0;
  prepared.notices = plain.notices;  // the rest must agree exactly
}

Outcome Prepared(cParse& p, const std::string& filter, const std::string& header,
                 const std::string& row, cOP& op, const NoticeCapture& n, bool prepare,
                 bool byFields = false) {
  Outcome o;
  const std::size_t before = n.texts().size();
  try {
    if (prepare) p.Prepare(filter, header);
    if (byFields) {
      // the reader's line buffer: the parser must not keep views into it
      std::string line = row;
      const std::vector<std::string_view> fields = SplitFields(line);
      o.selected = p.SelectFields(line, fields, op);
      line.assign(line.size(), '#');
    } else {
      o.selected = p.SelectRow(row, op);
    }
  } catch (const EngineError& e) {
    o.threw = true;
    o.code = e.code();
  }
  Capture(o, p, op, n, before);
  return o;
}

const char* const kHeader = "Date\tVendor\tAmount\tAccount\tNote";

TEST(PreparedFilter, SameResultsAsTheRowByRowParse) {
  const std::vector<std::string> filters = {
      "$Amount > 100 AND $Date >= 1/1/2008 AND $Vendor = \"acme\"",
      "$Amount = 0",
      "$Amount < 0 OR $Amount > 1000",
      "LEFT($Account, 2) = 10",
      "$Amount * 2 - 1",
      "UCASE($Vendor) = \"ACME\"",
      "$Note",
      "$1 = $2",
      "$\"Vendor\" <> \"x\" and $\"amount\" >= -5",
      "A$3 = \"A100.\"",
      "$3$1 = 1",
      "\"((((((((((((\" = $2",
      "QTR($Date, 6) = 3",
      "$Date - 1/1/2008 > 30",
      "$9 = $9",
      "LOG($Amount) > 2",
      "$Amount / $Account",
  };
  const std::vector<std::string> rows = {
      "1/15/2008\tAcme\t1,234.50\t1010\tok",
      "12/31/2007\tacme\t0\t1020\t",
      "2/1/2008\tBeta\t(500.00)\t2010\t$1",
      "",
      "7/4/2008",
      "6/30/2008\tAND\t0.00\t0\t((((((((",
      "3/1/2008\t-\t100\t\t\"TRUE\"",
      "9/9/2008\t$3\t$0\t1E308\tx",
  };
  NoticeCapture notices;
  cParse plain, prepared;
  cOP op1, op2;
  int n = 0;
  for (const std::string& f : filters) {
    bool first = true, shown = false;
    for (const std::string& r : rows) {
      const Outcome a = Plain(plain, f, kHeader, r, op1, notices);
      const bool prepare = first || ++n % 3 == 0;
      Outcome b = Prepared(prepared, f, kHeader, r, op2, notices, prepare, n % 2 == 0);
      first = false;
      ExpectNoticeOnce(a, b, shown, f + " | " + r);
      ExpectSame(a, b, f + " | " + r);
    }
  }
}

TEST(PreparedFilter, StaysPreparedAcrossOtherCalls) {
  NoticeCapture notices;
  cParse p;
  cOP op;
  ASSERT_TRUE(p.Prepare("$Amount > 5", kHeader));
  EXPECT_TRUE(p.SelectRow("1/1/2008\tA\t10", op));
  EXPECT_EQ(p.RPN(), "\t10.\t5\t>");
  // someone uses the parser directly between rows
  p.Infix("$x");
  p.parse();
  p.RPN("\tjunk");
  EXPECT_FALSE(p.SelectRow("1/1/2008\tA\t1", op));
  EXPECT_EQ(op.ans(), "FALSE");
  EXPECT_EQ(p.RPN(), "\t1.\t5\t>");
  EXPECT_EQ(p.Infix(), "");
  EXPECT_FALSE(p.Err());

  // a filter that does not parse leaves the evaluator alone
  EXPECT_FALSE(p.Prepare("($Amount > 5", kHeader));
  EXPECT_EQ(p.ErrMsg(), "Unbalanced parentheses");
  EXPECT_FALSE(p.SelectRow("1/1/2008\tA\t10", op));
  EXPECT_EQ(op.ans(), "FALSE");
  cParse fresh;
  EXPECT_FALSE(fresh.SelectRow("x", op));
  EXPECT_EQ(fresh.ErrMsg(), "No input to parse");
}

// Random and mutated expressions and rows: both paths must agree and nothing may crash.
TEST(PreparedFilter, RandomAndMutatedInput) {
  std::mt19937 rng(20071231);
  auto pick = [&rng](const std::vector<std::string>& v) -> const std::string& {
    return v[std::uniform_int_distribution<std::size_t>(0, v.size() - 1)(rng)];
  };
  auto coin = [&rng](int percent) {
    return std::uniform_int_distribution<int>(0, 99)(rng) < percent;
  };
  const std::vector<std::string> words = {
      "$Amount",  "$Date",      "$Vendor", "$\"Vendor\"", "$\"Note\")", "$1",     "$2",
      "$5",       "$12",        "$0",      "$01",         "$$1",        "A$2",    "$1$2",
      "0",        "100",        "-5",      "1.5",         "10-3",       "+-.",    ".",
      "1/1/2008", "12/31/2007", "1/1/8",   "\"acme\"",    "\"a(b\"",    "\"$1\"", "\"\"",
      "+",        "-",          "*",       "/",           "%",          "<",      "<=",
      ">",        ">=",         "=",       "<>",          "AND",        "or",     "ABS",
      "HO",       "LCASE",      "LEFT",    "LN",          "LOG",        "MAX",    "MIN",
      "QTR",      "RIGHT",      "SQR",     "UCASE",       "WD",         "WE",     "TRIM",
      "LD",       "(",          ")",       ",",           " ",          "C",      "S",
      "F",        "6",          "TRUE",    "!",           "#ERR",       "1E308",  "32768",
      "-1"};
  const std::vector<std::string> values = {"0",           "-5",
                                           "1,234.50",    "(500.00)",
                                           "$0",          "100",
                                           "0.5",         "1e5",
                                           "abc",         "",
                                           "TRUE",        "AND",
                                           "-",           "$2",
                                           "a$1",         "((((((",
                                           "12/31/2007",  "3/1/2008",
                                           "7/3/2009",    "13:45",
                                           " 7 ",         "\"42\"",
                                           "1E308",       "99999999999999999999",
                                           "#ERR",        "x y",
                                           "-0.00000001", "2007-12-31",
                                           "32768",       "LEFT",
                                           "(",           "3/1/2008 1:30 PM",
                                           "1D3",         "\"3/1/2008\"",
                                           "\"12\",",     "2008.1.3",
                                           "e5",          "$ 12-",
                                           "(1,000)",     " OR"};
  const std::string alphabet = "$\"()<>=+-*/%,. 0123456789ACaz_!\t";
  auto mutate = [&](std::string s) {
    const int edits = std::uniform_int_distribution<int>(0, 3)(rng);
    for (int e = 0; e < edits; ++e) {
      const char c =
          alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(rng)];
      const std::size_t at =
          s.empty() ? 0 : std::uniform_int_distribution<std::size_t>(0, s.size() - 1)(rng);
      switch (std::uniform_int_distribution<int>(0, 2)(rng)) {
        case 0: s.insert(at, 1, c); break;
        case 1:
          if (!s.empty()) s.erase(at, 1);
          break;
        default:
          if (!s.empty()) s[at] = c;
          break;
      }
    }
    return s;
  };

  NoticeCapture notices;
  cParse plain, prepared;
  cOP op1, op2;
  int agreed = 0, parsed = 0, selected = 0, threw = 0, noticed = 0, answered = 0;
  std::string lastFilter = "\x01";
  bool shown = false;
  for (int i = 0; i < 2500; ++i) {
    std::string filter;
    const int len = std::uniform_int_distribution<int>(0, 14)(rng);
    for (int k = 0; k < len; ++k) {
      filter += pick(words);
      if (coin(70)) filter += ' ';
    }
    if (coin(40)) filter = mutate(filter);
    const bool prepareEveryRow = coin(50);
    prepared.Prepare(filter, kHeader);
    if (filter != lastFilter) shown = false;  // the same texts again keep the prepared filter
    lastFilter = filter;
    for (int r = 0; r < 4; ++r) {
      std::string row;
      const int fields = std::uniform_int_distribution<int>(0, 7)(rng);
      for (int k = 0; k < fields; ++k) {
        if (k > 0) row += '\t';
        row += coin(20) ? mutate(pick(values)) : pick(values);
      }
      const Outcome a = Plain(plain, filter, kHeader, row, op1, notices);
      Outcome b = Prepared(prepared, filter, kHeader, row, op2, notices, prepareEveryRow, coin(50));
      ExpectNoticeOnce(a, b, shown, "[" + filter + "] on [" + row + "]");
      ExpectSame(a, b, "[" + filter + "] on [" + row + "]");
      if (::testing::Test::HasFailure()) return;
      ++agreed;
      parsed += a.errMsg.empty();
      selected += a.selected;
      threw += a.threw || a.abandoned;
      noticed += a.notices > 0;
      answered += !a.opErr && a.errMsg.empty() && a.ans != "#ERR";
    }
  }
  EXPECT_EQ(agreed, 10000);
  // the generator reaches every kind of outcome
  std::printf("parsed %d, answered %d, selected %d, errors of the call %d, notices %d\n", parsed,
              answered, selected, threw, noticed);
  EXPECT_GT(parsed, 3000);
  EXPECT_GT(answered, 500);
  EXPECT_GT(selected, 50);
  EXPECT_GT(threw, 5);
  EXPECT_GT(noticed, 5);
}

// Amounts of every magnitude and form: the substituted text is the number pattern's rendering
// (zero as "0"), and the prepared path reads the same number from it as the plain path.
TEST(PreparedFilter, AmountsRenderAndCompareAsThePlainPath) {
  std::mt19937_64 rng(42);
  NoticeCapture notices;
  cParse plain, prepared;
  cOP op1, op2;
  prepared.Prepare("$1 * 3 + $1", "A");
  for (int i = 0; i < 4000; ++i) {
    const int exponent = std::uniform_int_distribution<int>(-12, 22)(rng);
    double v = std::uniform_real_distribution<double>(-1.0, 1.0)(rng) * std::pow(10.0, exponent);
    if (i % 7 == 0) v = std::round(v);
    if (i % 11 == 0) v = std::round(v * 100) / 100;
    char buf[64];
    const int form = i % 4;
    if (form == 0) {
      std::snprintf(buf, sizeof buf, "%.17g", v);
    } else if (form == 1) {
      std::snprintf(buf, sizeof buf, "%.2f", v);
    } else if (form == 2) {
      std::snprintf(buf, sizeof buf, "(%.4f)", std::fabs(v));
    } else {
      std::snprintf(buf, sizeof buf, "%.9f", v);
    }
    const std::string text = buf;
    double parsed = 0;
    if (!IsNUM(text, parsed)) continue;  // exponent forms are not amounts
    const std::optional<double> general =
        ParseNumber(form == 2 ? "-" + text.substr(1, text.size() - 2) : text);
    ASSERT_TRUE(general.has_value()) << text;
    EXPECT_EQ(parsed, *general) << text;

    cParse p;
    p.RPN("	$1");
    p.subtext("$1", text);
    std::string expected = FormatNumber(parsed, "#########.#######");
    if (expected.find_first_of("0123456789") == std::string::npos) expected = "0";
    EXPECT_EQ(p.RPN(), "	" + expected) << text;

    const Outcome a = Plain(plain, "$1 * 3 + $1", "A", text, op1, notices);
    const Outcome b = Prepared(prepared, "$1 * 3 + $1", "A", text, op2, notices, false);
    ExpectSame(a, b, text);
    if (::testing::Test::HasFailure()) return;
  }
}

// Numeric row values as the substitution renders them ("#########.#######": the exact value
// rounded to seven decimals, halves away from zero; no leading zero, a trailing point for a
// whole number, zero as "0") and the number a filter then computes with. Worked out by hand;
// the exact binary values behind the rounding cases are noted beside them.
TEST(PreparedFilter, NumericValuesRenderAsWorkedOut) {
  struct Case {
    const char* value;
    const char* rendered;
    double number;  // $1 + 0 on the row; NAN where the value is not an amount
  };
  const Case cases[] = {
      // plain decimals, rendered from their digits
      {"0", "0", 0},
      {"-0", "0", 0},
      {"+0.000", "0", 0},
      {"100", "100.", 100},
      {"+100", "100.", 100},
      {"-100", "-100.", -100},
      {"007", "7.", 7},
      {"5.", "5.", 5},
      {".5", ".5", 0.5},
      {"-0.25", "-.25", -0.25},
      {"1234.50", "1234.5", 1234.5},
      {"12.3400000", "12.34", 12.34},
      {"0.0000001", ".0000001", 0.0000001},
      {"12345678.9", "12345678.9", 12345678.9},  // 9 digits, 7 decimals once scaled: 15
      {"99999999", "99999999.", 99999999},
      // beyond the plain form: the general rendering gives the same digits
      {"123456789.5", "123456789.5", 123456789.5},  // 16 digits once scaled
      {"123456789", "123456789.", 123456789},
      // more than seven decimals: rounded on the exact value
      {"0.12345678", ".1234568", 0.1234568},
      {"0.12345675", ".1234568", 0.1234568},  // 0.1234567500000000039...
      {"0.00000005", "0", 0},                 // 4.99999999999999977e-8
      {"0.00000015", ".0000001", 0.0000001},  // 1.49999999999999993e-7
      {"-0.00000001", "0", 0},
      {"1234.56789012", "1234.5678901", 1234.5678901},  // 1234.567890119999901...
      // the amount forms IsNUM reads
      {"1,234.50", "1234.5", 1234.5},
      {"(500.00)", "-500.", -500},
      {"$12", "12.", 12},
      {" 7 ", "7.", 7},
      {"\"42\"", "42.", 42},
      {"$(0.00)", "0", 0},
      // beyond 2^53 ten-millionths: the number pattern itself
      {"1234567890", "1234567890.", 1234567890},
      {"2,000,000,000.5", "2000000000.5", 2000000000.5},
      {"(1,500,000,000.25)", "-1500000000.25", -1500000000.25},
      // not amounts: substituted as written
      {"abc", "abc", NAN},
      {"1e5", "1e5", NAN},
      {"12%", "12%", NAN},
      {"12/31/2007", "12/31/2007", NAN},
  };
  NoticeCapture notices;
  cParse plain, prepared, literal;
  cOP op1, op2;
  prepared.Prepare("$1 + 0", "A");
  for (const Case& c : cases) {
    literal.RPN("\t$1");
    literal.subtext("$1", c.value);
    EXPECT_EQ(literal.RPN(), std::string("\t") + c.rendered) << c.value;
    for (const bool byFields : {false, true}) {
      const Outcome a = Plain(plain, "$1 + 0", "A", c.value, op1, notices);
      const Outcome b = Prepared(prepared, "$1 + 0", "A", c.value, op2, notices, false, byFields);
      ExpectSame(a, b, c.value);
      EXPECT_EQ(b.rpn, std::string("\t") + c.rendered + "\t0\t+") << c.value;
      if (!std::isnan(c.number)) {
        EXPECT_EQ(b.dResult, c.number) << c.value;
      }
    }
  }
}

// Plain decimals of every length, scale, sign and padding are rendered straight from their
// digits; the same amount written so that only the general rendering reads it ("$" before it,
// parentheses for the minus) must give the same text and the same number, on both paths.
TEST(PreparedFilter, PlainDecimalsRenderAsTheGeneralPath) {
  std::mt19937_64 rng(20081231);
  auto below = [&rng](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  NoticeCapture notices;
  cParse plain, prepared, literal;
  cOP op1, op2, op3;
  prepared.Prepare("$1 + 0", "A");
  int checked = 0;
  for (int i = 0; i < 20000; ++i) {
    std::string text, digits;
    const int sign = below(5);
    const int whole = below(17), zeros = below(4) == 0 ? below(4) : 0;
    digits.append(static_cast<std::size_t>(zeros), '0');
    for (int k = 0; k < whole; ++k) digits += static_cast<char>('0' + below(10));
    const int point = below(4);
    if (point > 0) {
      digits += '.';
      const int decimals = below(10);
      for (int k = 0; k < decimals; ++k)
        digits += static_cast<char>(below(5) == 0 ? '0' : '0' + below(10));
      if (below(3) == 0) digits.append(static_cast<std::size_t>(below(4)), '0');
    }
    text = (sign == 0 ? "-" : sign == 1 ? "+" : "") + digits;
    const std::string general = sign == 0 ? "$(" + digits + ")" : "$" + digits;
    double v = 0;
    if (!IsNUM(text, v)) continue;
    ++checked;
    literal.RPN("\t$1");
    literal.subtext("$1", general);
    const std::string expected = literal.RPN().substr(1);
    literal.RPN("\t$1");
    literal.subtext("$1", text);
    ASSERT_EQ(literal.RPN(), "\t" + expected) << text << " and " << general;
    const Outcome a = Plain(plain, "$1 + 0", "A", text, op1, notices);
    const Outcome b = Prepared(prepared, "$1 + 0", "A", text, op2, notices, false, i % 2 == 0);
    ExpectSame(a, b, text);
    ASSERT_EQ(b.rpn, "\t" + expected + "\t0\t+") << text;
    const Outcome g = Prepared(prepared, "$1 + 0", "A", general, op3, notices, false, i % 2 == 1);
    ASSERT_EQ(g.rpn, b.rpn) << general;
    ASSERT_EQ(b.dResult, g.dResult) << text << " and " << general;
  }
  EXPECT_GT(checked, 15000);
}

// Filters made only of comparisons joined by AND / OR, on rows whose values may break that
// shape (an operator word, "#ERR", an empty first value): every row agrees with the plain order.
TEST(PreparedFilter, ComparisonFiltersAgreeOnRandomRows) {
  std::mt19937 rng(19991231);
  auto pick = [&rng](const std::vector<std::string>& v) -> const std::string& {
    return v[std::uniform_int_distribution<std::size_t>(0, v.size() - 1)(rng)];
  };
  const std::vector<std::string> operands = {"$Amount",  "$Date",    "$Vendor",  "$Note",
                                             "$1",       "$9",       "100",      "-5",
                                             "1/1/2008", "\"acme\"", "\"#ERR\"", "0"};
  const std::vector<std::string> comparisons = {"<", "<=", ">", ">=", "=", "<>"};
  const std::vector<std::string> joins = {"AND", "OR", "and"};
  const std::vector<std::string> values = {
      "0",    "100",    "-5",  "1,234.50", "(500.00)", "12/31/2007", "1/1/2008", "2008-01-01",
      "acme", "ACME",   "AND", "or",       "<",        "#ERR",       "\"#ERR\"", "",
      " 7 ",  "\"42\"", "1E5", "13:45",    "x y",      "$5",         "100.",     "\"acme\""};
  NoticeCapture notices;
  cParse plain, prepared;
  cOP op1, op2;
  int rows = 0, answered = 0;
  for (int i = 0; i < 600; ++i) {
    std::string filter;
    const int leaves = std::uniform_int_distribution<int>(1, 4)(rng);
    for (int k = 0; k < leaves; ++k) {
      if (k > 0) filter += " " + pick(joins) + " ";
      filter += pick(operands) + " " + pick(comparisons) + " " + pick(operands);
    }
    bool shown = false;
    for (int r = 0; r < 8; ++r) {
      std::string row;
      const int fields = std::uniform_int_distribution<int>(0, 6)(rng);
      for (int k = 0; k < fields; ++k) row += (k > 0 ? "\t" : "") + pick(values);
      const Outcome a = Plain(plain, filter, kHeader, row, op1, notices);
      Outcome b = Prepared(prepared, filter, kHeader, row, op2, notices, r == 0, r % 2 == 1);
      ExpectNoticeOnce(a, b, shown, "[" + filter + "] on [" + row + "]");
      ExpectSame(a, b, "[" + filter + "] on [" + row + "]");
      if (::testing::Test::HasFailure()) return;
      ++rows;
      answered += a.ans == "TRUE" || a.ans == "FALSE";
    }
  }
  EXPECT_EQ(rows, 4800);
  EXPECT_GT(answered, 3000);
}

}  // namespace
}  // namespace tarnwick

namespace tarnwick {
namespace {

// A day/month/year source and its filter read alike with the order set on both the parser
// and the evaluator; the holiday function follows the calendar handed to the evaluator.
TEST(PreparedFilter, DateOrderAndHolidayCalendar) {
  const std::string header = "Vendor\tInvDate\tAmount";
  struct Case {
    DateOrder order;
    const char* filter;
    const char* row;
    bool selected;
  };
  const Case cases[] = {
      {DateOrder::kDmy, "$InvDate >= 31/12/2023", "V1\t1/1/2024\t5", true},
      {DateOrder::kDmy, "$InvDate >= 31/12/2023", "V1\t30/12/2023\t5", false},
      {DateOrder::kDmy, "$InvDate - 25/12/2023 = 7", "V1\t1/1/2024\t5", true},
      {DateOrder::kDmy, "HO $InvDate", "V1\t4/7/2023\t5", true},   // 4 July
      {DateOrder::kDmy, "HO $InvDate", "V1\t7/4/2023\t5", false},  // 7 April
      {DateOrder::kMdy, "HO $InvDate", "V1\t7/4/2023\t5", true},
      {DateOrder::kYmd, "$InvDate < 24/1/1 AND WE $InvDate", "V1\t23/12/31\t5", true},
      {DateOrder::kMdy, "$InvDate >= 12/31/2023", "V1\t1/1/2024\t5", true},
  };
  for (const Case& c : cases) {
    cParse p;
    cOP op;
    p.SetDateOrder(c.order);
    op.SetDateOrder(c.order);
    ASSERT_TRUE(p.Prepare(c.filter, header)) << c.filter << ": " << p.ErrMsg();
    EXPECT_EQ(p.SelectRow(c.row, op), c.selected) << c.filter << " / " << c.row;
  }

  HolidayCalendar cal;
  cal.Add(*Date::FromYmd(2023, 7, 1), "Canada Day");
  cParse p;
  cOP op;
  op.SetHolidays(&cal);
  ASSERT_TRUE(p.Prepare("HO $InvDate", header));
  EXPECT_TRUE(p.SelectRow("V1\t7/1/2023\t5", op));
  EXPECT_FALSE(p.SelectRow("V1\t7/4/2023\t5", op));
  op.SetHolidays(nullptr);
  EXPECT_TRUE(p.SelectRow("V1\t7/4/2023\t5", op));
}

}  // namespace
}  // namespace tarnwick
