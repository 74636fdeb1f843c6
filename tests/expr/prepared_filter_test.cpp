#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "tarnwick/core/error.h"
#include "tarnwick/core/numeric_text.h"
#include "tarnwick/expr/is_num.h"
#include "tarnwick/shell/report_text.h"
#include "tarnwick/expr/parser.h"
#include "tarnwick/platform/notice.h"

namespace tarnwick {
namespace {

// Everything a caller can observe after one row.
struct Outcome {
  bool threw = false;
  ErrorCode code = ErrorCode::InvalidArgument;
  bool selected = false;
  std::string errMsg, rest, rpn, deb;
  std::int16_t cols = 0;
  std::string ans, rType, sResult;
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
  o.opErr = op.Err();
  o.rType = op.rType();
  o.sResult = op.sResult();
  o.bresult = op.bresult();
  o.dResult = op.dResult();
  o.notices = n.texts().size() - before;
}

// The plain calling order of a reader: everything anew for the row, on the reader's parser.
Outcome Plain(cParse& p, const std::string& filter, const std::string& header, const std::string& row,
              cOP& op, const NoticeCapture& n) {
  Outcome o;
  const std::size_t before = n.texts().size();
  try {
    p.Infix(filter);
    p.Headers(header);
    p.parse();
    if (!p.Err()) {
      p.ReplaceColnames();
      p.SubRow(row);
      op.EvalRPN(p.RPN());
      o.selected = !op.Err() && op.ans() == "TRUE";
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

Outcome Prepared(cParse& p, const std::string& filter, const std::string& header, const std::string& row,
                 cOP& op, const NoticeCapture& n, bool prepare) {
  Outcome o;
  const std::size_t before = n.texts().size();
  try {
    if (prepare) p.Prepare(filter, header);
    o.selected = p.SelectRow(row, op);
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
    bool first = true;
    for (const std::string& r : rows) {
      const Outcome a = Plain(plain, f, kHeader, r, op1, notices);
      const Outcome b = Prepared(prepared, f, kHeader, r, op2, notices, first || ++n % 3 == 0);
      first = false;
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
  auto coin = [&rng](int percent) { return std::uniform_int_distribution<int>(0, 99)(rng) < percent; };
  const std::vector<std::string> words = {
      "$Amount", "$Date", "$Vendor", "$\"Vendor\"", "$\"Note\")", "$1", "$2", "$5", "$12", "$0", "$01",
      "$$1", "A$2", "$1$2", "0", "100", "-5", "1.5", "10-3", "+-.", ".", "1/1/2008", "12/31/2007",
      "1/1/8", "\"acme\"", "\"a(b\"", "\"$1\"", "\"\"", "+", "-", "*", "/", "%", "<", "<=", ">", ">=", "=",
      "<>", "AND", "or", "ABS", "HO", "LCASE", "LEFT", "LN", "LOG", "MAX", "MIN", "QTR", "RIGHT", "SQR",
      "UCASE", "WD", "WE", "TRIM", "LD", "(", ")", ",", " ", "C", "S", "F", "6", "TRUE", "!", "#ERR",
      "1E308", "32768", "-1"};
  const std::vector<std::string> values = {
      "0", "-5", "1,234.50", "(500.00)", "$0", "100", "0.5", "1e5", "abc", "", "TRUE", "AND", "-", "$2",
      "a$1", "((((((", "12/31/2007", "3/1/2008", "7/3/2009", "13:45", " 7 ", "\"42\"", "1E308",
      "99999999999999999999", "#ERR", "x y", "-0.00000001", "2007-12-31", "32768", "LEFT", "("};
  const std::string alphabet = "$\"()<>=+-*/%,. 0123456789ACaz_!\t";
  auto mutate = [&](std::string s) {
    const int edits = std::uniform_int_distribution<int>(0, 3)(rng);
    for (int e = 0; e < edits; ++e) {
      const char c = alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(rng)];
      const std::size_t at = s.empty() ? 0 : std::uniform_int_distribution<std::size_t>(0, s.size() - 1)(rng);
      switch (std::uniform_int_distribution<int>(0, 2)(rng)) {
        case 0: s.insert(at, 1, c); break;
        case 1: if (!s.empty()) s.erase(at, 1); break;
        default: if (!s.empty()) s[at] = c; break;
      }
    }
    return s;
  };

  NoticeCapture notices;
  cParse plain, prepared;
  cOP op1, op2;
  int agreed = 0, parsed = 0, selected = 0, threw = 0, noticed = 0, answered = 0;
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
    for (int r = 0; r < 4; ++r) {
      std::string row;
      const int fields = std::uniform_int_distribution<int>(0, 7)(rng);
      for (int k = 0; k < fields; ++k) {
        if (k > 0) row += '\t';
        row += coin(20) ? mutate(pick(values)) : pick(values);
      }
      const Outcome a = Plain(plain, filter, kHeader, row, op1, notices);
      const Outcome b = Prepared(prepared, filter, kHeader, row, op2, notices, prepareEveryRow);
      ExpectSame(a, b, "[" + filter + "] on [" + row + "]");
      if (::testing::Test::HasFailure()) return;
      ++agreed;
      parsed += a.errMsg.empty();
      selected += a.selected;
      threw += a.threw;
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
    const std::optional<double> general = ParseNumber(form == 2 ? "-" + text.substr(1, text.size() - 2) : text);
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

}  // namespace
}  // namespace tarnwick
