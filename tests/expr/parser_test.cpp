#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tarnwick/core/error.h"
#include "tarnwick/expr/parser.h"
#include "tarnwick/platform/notice.h"

namespace tarnwick {
namespace {

std::string Rpn(std::initializer_list<const char*> elems) {
  std::string s;
  for (const char* e : elems) {
    s += '\t';
    s += e;
  }
  return s;
}

std::string ParseOf(const std::string& infix) {
  cParse p;
  p.Infix(infix);
  const std::string r = p.parse();
  EXPECT_EQ(r, p.RPN()) << infix;
  EXPECT_FALSE(p.Err()) << infix << ": " << p.ErrMsg();
  return r;
}

struct ParseCase {
  const char* infix;
  std::string rpn;
};

class ParseTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseTest, ConvertsToRpn) {
  EXPECT_EQ(ParseOf(GetParam().infix), GetParam().rpn) << GetParam().infix;
}

INSTANTIATE_TEST_SUITE_P(
    Expressions, ParseTest,
    ::testing::Values(
        ParseCase{"$amount > 100 AND $vendor = \"acme\"",
                  Rpn({"$AMOUNT", "100", ">", "$VENDOR", "\"ACME\"", "=", "AND"})},
        ParseCase{"($a + $b) * $c", Rpn({"$A", "$B", "+", "$C", "*"})},
        ParseCase{"$a * $b + $c", Rpn({"$A", "$B", "*", "$C", "+"})},
        ParseCase{"$a - $b - $c", Rpn({"$A", "$B", "$C", "-", "-"})},
        ParseCase{"$a / $b / $c", Rpn({"$A", "$B", "$C", "/", "/"})},
        ParseCase{"$a > 1 and $b < 2 or $c = 3",
                  Rpn({"$A", "1", ">", "$B", "2", "<", "$C", "3", "=", "OR", "AND"})},
        ParseCase{"LEFT($name, 2) = \"AB\"", Rpn({"$NAME", "2", "LEFT", "\"AB\"", "="})},
        ParseCase{"ABS($a) > 3", Rpn({"$A", "ABS", "3", ">"})},
        ParseCase{"QTR($d, f) = 2", Rpn({"$D", "F", "QTR", "2", "="})},
        ParseCase{"TRIM($a) = \"x\"", Rpn({"$A", "TRIM", "\"X\"", "="})},
        ParseCase{"$a % 2", Rpn({"$A", "2", "%"})}, ParseCase{"10 - 3", Rpn({"10", "3", "-"})},
        ParseCase{"10 -3", Rpn({"10", "-3"})}, ParseCase{"10-3", Rpn({"10-3"})},
        ParseCase{"-5 < $a", Rpn({"-5", "$A", "<"})},
        ParseCase{"$a<>-2.5", Rpn({"$A", "-2.5", "<>"})},
        ParseCase{"$a >= +1", Rpn({"$A", "+1", ">="})},
        ParseCase{"12/31/2007", Rpn({"12/31/2007"})},
        ParseCase{"$d < 12/31/2007 ", Rpn({"$D", "12/31/2007", "<"})},
        ParseCase{"1/1/8", Rpn({"1", "1", "8", "/", "/"})},
        // a text constant in single quotes stays as written (it was split into ', X and ')
        ParseCase{"$\"Vendor Name\" = 'x'", Rpn({"$\"VENDOR NAME\"", "'x'", "="})},
        ParseCase{"$V = 'Acme, Inc.' OR $V = 'O''Brien (UK)'",
                  Rpn({"$V", "'Acme, Inc.'", "=", "$V", "'O''Brien (UK)'", "=", "OR"})},
        ParseCase{"UCASE($n) = café", Rpn({"$N", "UCASE", "CAFÉ", "="})},
        ParseCase{"!x", Rpn({"!", "X"})}, ParseCase{"  $a", Rpn({"$A"})}, ParseCase{"   ", ""}));

struct ErrorCase {
  const char* infix;
  const char* infixMsg;  // after Infix
  const char* parseMsg;  // after parse
};

class ParseErrorTest : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(ParseErrorTest, Messages) {
  const ErrorCase& c = GetParam();
  cParse p;
  p.RPN("\tKEEP");
  p.Infix(c.infix);
  EXPECT_EQ(p.ErrMsg(), c.infixMsg);
  EXPECT_EQ(p.parse(), "");
  EXPECT_EQ(p.ErrMsg(), c.parseMsg);
  EXPECT_TRUE(p.Err());
}

std::string Chain(int n) {  // "1 + 1 + ... " with n additions
  std::string s = "1";
  for (int i = 0; i < n; ++i) s += " + 1";
  return s;
}

const std::string kLateClose = "(x" + Chain(30) + ")";
const std::string kLateOpen = "x)" + Chain(30) + "(";

INSTANTIATE_TEST_SUITE_P(
    Failures, ParseErrorTest,
    ::testing::Values(ErrorCase{"(a", "Unbalanced parentheses", "Unbalanced parentheses"},
                      ErrorCase{"\"abc", "Unbalanced quotes", "Unbalanced quotes"},
                      ErrorCase{"\"(abc", "Unbalanced parentheses", "Unbalanced parentheses"},
                      ErrorCase{") a (", "", "Unbalanced parens"},
                      ErrorCase{"", "", "No input to parse"},
                      ErrorCase{kLateClose.c_str(), "", "Unbalanced parens - too many ("},
                      ErrorCase{kLateOpen.c_str(), "", "Unbalanced parens - too many )"},
                      // a text constant in single quotes must be closed; what it holds is text
                      ErrorCase{"$a = 'abc", "Unbalanced quotes", "Unbalanced quotes"},
                      ErrorCase{"$a = 'x''", "Unbalanced quotes", "Unbalanced quotes"},
                      ErrorCase{"$a = '(' AND (", "Unbalanced parentheses",
                                "Unbalanced parentheses"},
                      ErrorCase{"$a = '\"' AND \"", "Unbalanced quotes", "Unbalanced quotes"}));

TEST(Parse, StateAroundTheConversion) {
  cParse p;
  p.RPN("\tKEEP");
  p.Infix("(a");
  p.parse();
  EXPECT_EQ(p.RPN(), "\tKEEP");  // a failed Infix check leaves parse without doing anything

  p.Infix("$a + 1");
  EXPECT_EQ(p.Infix(), "$a + 1");
  p.parse();
  EXPECT_EQ(p.Infix(), "");
  EXPECT_FALSE(p.Deb().empty());
  EXPECT_EQ(p.parse(), "");  // the text is consumed
  EXPECT_EQ(p.ErrMsg(), "No input to parse");

  // only the first 51 tokens (spaces included) are converted; the rest stays
  p.Infix(Chain(40));
  const std::string r = p.parse();
  EXPECT_FALSE(p.Err());
  // "1", " ", "+" per term: 17 terms are converted, the last "+" without its right operand
  EXPECT_EQ(p.Infix(), Chain(40).substr(17 * 4));
  std::string expected;
  for (int i = 0; i < 17; ++i) expected += "\t1";
  for (int i = 0; i < 17; ++i) expected += "\t+";
  EXPECT_EQ(r, expected);

  p.RPN("   ");
  EXPECT_EQ(p.ErrMsg(), "(Empty Input)");
  EXPECT_EQ(p.RPN(), r);
  p.RPN("  \tA\tB  ");
  EXPECT_EQ(p.RPN(), "\tA\tB");
  p.init();
  EXPECT_FALSE(p.Err());
  EXPECT_EQ(p.Infix(), "");
  EXPECT_EQ(p.Result(), -1);
  EXPECT_EQ(p.Name(), "");
}

TEST(Parse, TextHelpers) {
  cParse p;
  EXPECT_EQ(p.GetName("$1+(5-5"), "$1");
  EXPECT_EQ(p.GetName("\"ab c\"d e"), "\"ab c\"d");
  EXPECT_EQ(p.GetName("$\"Vendor Name\")"), "$\"Vendor Name\"");
  EXPECT_EQ(p.GetName("!x"), "!");
  EXPECT_EQ(p.GetName(""), "");
  p.testname();
  for (const char* op : {"+", "%", "<>", " and ", "Trim", "ld", "WD", "lcase"})
    EXPECT_TRUE(p.isOP(op)) << op;
  for (const char* op : {"", "!", "==", "ANDX", "(", "NOT"}) EXPECT_FALSE(p.isOP(op)) << op;
  for (const char* c : {"0", "9", "/", "-"}) EXPECT_TRUE(p.isdigit(c)) << c;
  for (const char* c : {"", ".", "a", "12"}) EXPECT_FALSE(p.isdigit(c)) << c;
  EXPECT_EQ(p.isValDate("12/31/2007"), 10);
  EXPECT_EQ(p.isValDate("  1/1/08 x"), 8);
  EXPECT_EQ(p.isValDate("12-31-2007abc"), 10);
  EXPECT_EQ(p.isValDate("2007-12-31"), 10);
  EXPECT_EQ(p.isValDate("1/1/8"), -1);
  EXPECT_EQ(p.isValDate("13/1/2008"), -1);
  EXPECT_EQ(p.isValDate("2/30/2008"), -1);
  EXPECT_EQ(p.isValDate("123456"), -1);
}

TEST(Columns, HeaderLookups) {
  cParse p;
  EXPECT_EQ(p.cols(), 0);
  p.Headers("Date\tVendor\tAmount");
  EXPECT_EQ(p.cols(), 2);
  p.DestCol("amount");
  EXPECT_EQ(p.getcol(), 2);
  p.DestCol("Amt");
  EXPECT_EQ(p.getcol(), -1);
  p.Headers("A\tb\tB");
  p.DestCol("B");
  EXPECT_EQ(p.getcol(), 2);  // the last equal field
  p.Headers("");
  EXPECT_EQ(p.cols(), -1);
  EXPECT_EQ(p.getcol(), -1);
  // more fields than a 16-bit count holds is the overflow error; the header stays
  p.Headers("a\tb");
  try {
    p.Headers(std::string(40000, '\t'));
    FAIL() << "no overflow";
  } catch (const EngineError& e) {
    EXPECT_EQ(e.code(), ErrorCode::Overflow);
  }
  EXPECT_EQ(p.cols(), 1);
  p.DestCol("B");
  EXPECT_EQ(p.getcol(), 1);
}

TEST(Columns, ReplaceColnames) {
  cParse p;
  p.Headers("Date\tVendor Name\tAmount\tamount2");
  p.Infix("$amount > 1 and $\"Vendor Name\" = \"x\" or $Amt = $2 or $\"vendor name\")");
  p.RPN(
      "\t$AMOUNT\t1\t>\t$\"VENDOR NAME\"\t\"X\"\t=\t$AMT\t$2\t=\tOR\tAND\t$\"VENDOR "
      "NAME\")\tA$AMOUNT");
  p.ReplaceColnames();
  EXPECT_EQ(p.RPN(), "\t$3\t1\t>\t$2\t\"X\"\t=\t$AMT\t$2\t=\tOR\tAND\t$2\tA$AMOUNT");

  p.Headers("x\tamount\tAMOUNT");
  p.RPN("$amount\t1");  // no leading TAB: the first element is a reference too
  p.ReplaceColnames();
  EXPECT_EQ(p.RPN(), "$3\t1");
}

TEST(Rows, SubRowPutsEachFieldInItsCode) {
  cParse p;
  std::string row;
  for (int i = 1; i <= 12; ++i) {
    if (i > 1) row += '\t';
    row += "v";
    row += std::to_string(i);
  }
  p.RPN("\t$1\t$12\tA$1B\t$13\t$01");
  p.SubRow(row);
  EXPECT_EQ(p.RPN(), "\tv1\tv12\tAv1B\t$13\t$01");

  p.RPN("\t$1\t$2");
  p.SubRow("");  // an empty row substitutes nothing
  EXPECT_EQ(p.RPN(), "\t$1\t$2");
  p.SubRow("a\t\tc");
  EXPECT_EQ(p.RPN(), "\ta\t");
}

struct ValueCase {
  const char* value;
  const char* substituted;
};

class SubtextTest : public ::testing::TestWithParam<ValueCase> {};

TEST_P(SubtextTest, NormalisesAmounts) {
  cParse p;
  p.RPN("\t$1\t$1");
  p.subtext("$1", GetParam().value);
  EXPECT_EQ(p.RPN(), std::string("\t") + GetParam().substituted + "\t" + GetParam().substituted);
}

INSTANTIATE_TEST_SUITE_P(Values, SubtextTest,
                         ::testing::Values(ValueCase{"1,234.50", "1234.5"}, ValueCase{"0", "0"},
                                           ValueCase{"0.00", "0"}, ValueCase{"$0", "0"},
                                           ValueCase{"-0.00000001", "0"}, ValueCase{"100", "100."},
                                           ValueCase{"-5", "-5."}, ValueCase{"(500.00)", "-500."},
                                           ValueCase{"0.5", ".5"},
                                           ValueCase{"1.123456789", "1.1234568"},
                                           ValueCase{"\"42\"", "42."}, ValueCase{"ACME", "ACME"},
                                           ValueCase{"12/31/2007", "12/31/2007"},
                                           ValueCase{" x ", " x "}, ValueCase{"", ""}));

TEST(Rows, TooManyParensIsANoticeAndProcessingGoesOn) {
  NoticeCapture notices;
  cParse p;
  p.RPN("\t\"((((((((((\"\t$1\t=");  // ten: no notice
  p.SubRow("a\tb");
  EXPECT_TRUE(notices.texts().empty());
  p.RPN("\t\"(((((((((((\"\t$1\t=");  // eleven: one notice per field
  p.SubRow("a\tb");
  ASSERT_EQ(notices.texts().size(), 2u);
  EXPECT_EQ(notices.texts()[0], "Too many parens");
  EXPECT_EQ(p.RPN(), "\t\"(((((((((((\"\ta\t=");
  // parentheses brought in by a value count for the fields after it
  p.RPN("\t$1\t$2\t=");
  p.SubRow("(((((((((((\tb\tc");
  EXPECT_EQ(notices.texts().size(), 4u);
}

struct FilterCase {
  const char* filter;
  std::vector<bool> selected;  // one per row of kRows
};

const char* const kHeader = "Date\tVendor\tAmount\tAccount";
const char* const kRows[] = {
    "1/15/2008\tAcme\t0\t1010",        "2/1/2008\tBeta\t-5\t2010",
    "3/1/2008\tacme\t100\t1020",       "12/31/2007\tGamma\t0.00\t10",
    "6/30/2008\tAcme\t1,234.50\t1099", "7/4/2008\tDelta\t(500.00)\t3000",
};

class FilterTest : public ::testing::TestWithParam<FilterCase> {};

TEST_P(FilterTest, SelectsRows) {
  const FilterCase& c = GetParam();
  cParse p;
  for (std::size_t i = 0; i < std::size(kRows); ++i) {
    p.Infix(c.filter);
    p.Headers(kHeader);
    p.parse();
    p.ThisRow(kRows[i]);
    EXPECT_EQ(p.IsSelected(), c.selected[i]) << c.filter << " on " << kRows[i] << " -> " << p.ans();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Filters, FilterTest,
    ::testing::Values(
        FilterCase{"$Amount = 0", {true, false, false, true, false, false}},
        FilterCase{"$Amount < 0", {false, true, false, false, false, true}},
        FilterCase{"$Amount > 0", {false, false, true, false, true, false}},
        FilterCase{"$Amount >= 0", {true, false, true, true, true, false}},
        FilterCase{"$Amount = 100", {false, false, true, false, false, false}},
        FilterCase{"$Amount = 1234.5", {false, false, false, false, true, false}},
        FilterCase{"$Amount <> 0", {false, true, true, false, true, true}},
        FilterCase{"ABS($Amount) >= 100", {false, false, true, false, true, true}},
        FilterCase{"$Date >= 1/1/2008 AND $Vendor = \"acme\"",
                   {true, false, true, false, true, false}},
        FilterCase{"$Date < 2/1/2008 OR $Amount < -100", {true, false, false, true, false, true}},
        FilterCase{"LEFT($Account, 2) = 10", {true, false, true, true, true, false}},
        FilterCase{"RIGHT($Vendor, 2) = \"me\"", {true, false, true, false, true, false}},
        FilterCase{"WE($Date)", {false, false, true, false, false, false}},
        FilterCase{"QTR($Date, C) = 3", {false, false, false, false, false, true}},
        FilterCase{"$1 = \"acme\"", {false, false, false, false, false, false}},
        FilterCase{"$2 = \"acme\"", {true, false, true, false, true, false}},
        FilterCase{"$Nothing = 1", {false, false, false, false, false, false}},
        FilterCase{"(($Amount > 0)", {false, false, false, false, false, false}},
        // an operation that failed selects nothing, whatever is left on the stack
        FilterCase{"$Amount / 0 < 1", {false, false, false, false, false, false}},
        FilterCase{"$Amount / $Amount = 1", {false, true, true, false, true, true}},
        FilterCase{"SQR($Amount) < 20", {true, false, true, true, false, false}},
        FilterCase{"LN($Amount) > 0", {false, false, true, false, true, false}},
        // text constants: exact, as the row wrote its value
        FilterCase{"$Amount = '1,234.50'", {false, false, false, false, true, false}},
        FilterCase{"$Amount = '(500.00)' OR $Amount = '0.00'",
                   {false, false, false, true, false, true}},
        FilterCase{"$Vendor = 'acme'", {false, false, true, false, false, false}},
        FilterCase{"$Vendor = '$2'", {false, false, false, false, false, false}},
        FilterCase{"RIGHT($Account, 2) = 10", {true, true, false, true, false, false}},
        FilterCase{"$Vendor = ACMÉ OR $Vendor = gamma",
                   {false, false, false, true, false, false}}));

TEST(IsSelected, AnswerAndRpnAfterTheRow) {
  cParse p;
  EXPECT_EQ(p.ans(), "");
  p.Infix("$Amount * 2");
  p.Headers(kHeader);
  p.parse();
  p.ThisRow(kRows[4]);
  EXPECT_FALSE(p.IsSelected());
  EXPECT_EQ(p.ans(), "2469");
  EXPECT_EQ(p.RPN(), "\t1234.5\t2\t*");

  p.Infix("($a");
  p.parse();
  EXPECT_FALSE(p.IsSelected());
  EXPECT_EQ(p.ans(), "");
}

}  // namespace
}  // namespace tarnwick
