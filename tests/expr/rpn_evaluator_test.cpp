#include <gtest/gtest.h>

#include <string>

#include "tarnwick/core/error.h"
#include "tarnwick/expr/is_num.h"
#include "tarnwick/expr/rpn_evaluator.h"

namespace tarnwick {
namespace {

// Builds the parser's RPN form: a TAB before every element.
std::string Rpn(std::initializer_list<const char*> elems) {
  std::string s;
  for (const char* e : elems) {
    s += '\t';
    s += e;
  }
  return s;
}

struct EvalCase {
  std::string rpn;
  const char* ans;
  bool err;  // Err after the evaluation (state of the last operation)
};

class EvalRpnTest : public ::testing::TestWithParam<EvalCase> {};

TEST_P(EvalRpnTest, Answers) {
  const EvalCase& c = GetParam();
  cOP op;
  EXPECT_EQ(op.EvalRPN(c.rpn), "");
  EXPECT_EQ(op.ans(), c.ans) << c.rpn;
  EXPECT_EQ(op.Err(), c.err) << c.rpn;
}

INSTANTIATE_TEST_SUITE_P(
    Operators, EvalRpnTest,
    ::testing::Values(
        // numbers
        EvalCase{Rpn({"1500", "1000", ">"}), "TRUE", false},
        EvalCase{Rpn({"7", "2", "/"}), "3.5", false}, EvalCase{Rpn({"7", "0", "/"}), "#ERR", true},
        EvalCase{Rpn({"10", "3", "-", "2", "-"}), "5", false},
        EvalCase{Rpn({"0.1", "0.2", "+"}), "0.3", false},
        EvalCase{Rpn({"6", "7", "*"}), "42", false},
        EvalCase{Rpn({"100.", "100", "="}), "TRUE", false},
        EvalCase{Rpn({" 5 ", "4", ">="}), "TRUE", false},
        EvalCase{Rpn({"3", "9", "MIN"}), "3", false}, EvalCase{Rpn({"3", "9", "MAX"}), "9", false},
        EvalCase{Rpn({"-9", "ABS"}), "9", false}, EvalCase{Rpn({"abc", "ABS"}), "#ERR", true},
        EvalCase{Rpn({"16", "SQR"}), "4", false}, EvalCase{Rpn({"1000", "LOG"}), "3", false},
        EvalCase{Rpn({"1", "LN"}), "0", false},
        EvalCase{Rpn({"9", "10", "<"}), "TRUE", false},  // numbers, not texts
        // text constants in single quotes: exact, letter case and leading zeros included
        EvalCase{Rpn({"'000496'", "'000496'", "="}), "TRUE", false},
        EvalCase{Rpn({"'000496'", "496", "="}), "FALSE", false},
        EvalCase{Rpn({"496.", "'496'", "="}), "TRUE", false},  // without the added point
        EvalCase{Rpn({"'Acme, Inc.'", "ACME, INC.", "="}), "FALSE", false},
        EvalCase{Rpn({"Acme, Inc.", "'Acme, Inc.'", "="}), "TRUE", false},
        EvalCase{Rpn({"\"x\"", "'\"x\"'", "="}), "FALSE", false},  // quotes in it are its text
        EvalCase{Rpn({"O'Brien", "'O''Brien'", "="}), "TRUE", false},
        EvalCase{Rpn({"'b'", "'a'", ">"}), "TRUE", false},
        EvalCase{Rpn({"'B'", "'a'", "<"}), "TRUE", false},  // exact: byte order
        EvalCase{Rpn({"'12'", "1", "+"}), "#ERR", true},    // text, not a number
        EvalCase{Rpn({"'#ERR'", "'#ERR'", "="}), "TRUE", false},
        EvalCase{Rpn({"'ab'", "UCASE", "'AB'", "="}), "TRUE", false},
        // LEFT and RIGHT of a whole number drop the point its substitution added
        EvalCase{Rpn({"100301.", "2", "RIGHT"}), "01", false},
        EvalCase{Rpn({"100301.", "2", "RIGHT", "01", "="}), "TRUE", false},
        EvalCase{Rpn({"100311.", "2", "RIGHT", "01", "="}), "FALSE", false},
        EvalCase{Rpn({"1234.5", "2", "RIGHT"}), ".5", false},
        EvalCase{Rpn({"x.", "1", "RIGHT"}), ".", false},  // not a number: as it is
        EvalCase{Rpn({"'007.'", "3", "LEFT"}), "007", false},
        // letters beyond ASCII
        EvalCase{Rpn({"café", "CAFÉ", "="}), "TRUE", false},
        EvalCase{Rpn({"Straße", "UCASE"}), "STRASSE", false},
        EvalCase{Rpn({"ÀÉÎ", "LCASE"}), "àéî", false},
        EvalCase{Rpn({"éa", "ÉB", "<"}), "TRUE", false},
        EvalCase{Rpn({"zé", "ÉZ", "<"}), "TRUE", false},  // "ZÉ" before "ÉZ" in UTF-8
        // bytes of a single-byte code page are not UTF-8: kept, the ASCII letters cased
        EvalCase{Rpn({"\xE9t\xE9", "UCASE"}), "\xE9T\xE9", false},
        // dates
        EvalCase{Rpn({"12/31/2007", "1/1/2008", "<"}), "TRUE", false},
        EvalCase{Rpn({"1/31/2008", "1/1/2008", "-"}), "30", false},
        EvalCase{Rpn({"1/31/2008", "1/1/2008", "+"}), "2/2/2116", false},
        EvalCase{Rpn({"1/31/2008", "5", "+"}), "#ERR", true},  // date and number: text, fails
        EvalCase{Rpn({"1/31/2008", "1/1/2008", "*"}), "#ERR", true},
        EvalCase{Rpn({"3/1/2008", "WD"}), "7", false},
        EvalCase{Rpn({"3/2/2008", "WD"}), "1", false},
        EvalCase{Rpn({"3/1/2008", "WE"}), "TRUE", false},
        EvalCase{Rpn({"2/29/2008", "WE"}), "FALSE", false},
        EvalCase{Rpn({"hello", "WD"}), "#ERR", true},
        EvalCase{Rpn({"7/3/2009", "HO"}), "TRUE", false},
        EvalCase{Rpn({"7/4/2009", "HO"}), "FALSE", false},
        EvalCase{Rpn({"7/5/2010", "ho"}), "TRUE", false},
        EvalCase{Rpn({"N/A", "HO"}), "#ERR", true},
        // booleans and text
        EvalCase{Rpn({"TRUE", "false", "OR"}), "TRUE", false},
        EvalCase{Rpn({"TRUE", "FALSE", "AND"}), "FALSE", false},
        EvalCase{Rpn({"true", "True", "and"}), "TRUE", false},
        EvalCase{Rpn({"1", "1", "AND"}), "#ERR", true},  // two numbers take the numeric branch
        EvalCase{Rpn({"ACME", "\"acme\"", "="}), "TRUE", false},
        EvalCase{Rpn({"apple", "Banana", "<"}), "TRUE", false},
        EvalCase{Rpn({"10", "abc", "<"}), "TRUE", false},  // number and word compare as text
        EvalCase{Rpn({"A", "B", "<>"}), "TRUE", false},
        EvalCase{Rpn({"\"Invoice\"", "3", "LEFT"}), "Inv", false},
        EvalCase{Rpn({"\"Invoice\"", "3", "RIGHT"}), "ice", false},
        EvalCase{Rpn({"Invoice", "99", "RIGHT"}), "Invoice", false},
        EvalCase{Rpn({"Invoice", "x", "LEFT"}), "#ERR", true},
        EvalCase{Rpn({"12345", "2", "LEFT"}), "12", false},  // numeric text is cut as text
        EvalCase{Rpn({"12345", "2", "RIGHT"}), "45", false},
        EvalCase{Rpn({"12345", "2", "LEFT", "12", "="}), "TRUE", false},
        EvalCase{Rpn({"MiXed", "UCASE"}), "MIXED", false},
        EvalCase{Rpn({"MiXed", "LCASE"}), "mixed", false},
        EvalCase{Rpn({"\"a b\"", "UCASE"}), "A B", false},
        EvalCase{Rpn({"x", "y", "LD"}), "Handle LD", false},
        EvalCase{Rpn({"x", "y", "+"}), "#ERR", true},
        EvalCase{Rpn({"x", "y", "MIN"}), "#ERR", true},
        // quotes: a trailing comma after the closing quote goes, then the quotes
        EvalCase{Rpn({"\"ab\",", "AB", "="}), "TRUE", false},
        EvalCase{Rpn({"\"\"", "", "="}), "TRUE", false},
        EvalCase{Rpn({"\"ab\""}), "\"ab\"", false},  // a value never popped keeps its quotes
        // stack shape
        EvalCase{Rpn({"5", "6"}), "#ERR", false}, EvalCase{"", "#ERR", false},
        EvalCase{"\t", "", false},  // the second element is an empty value
        EvalCase{"5", "5", false}, EvalCase{Rpn({"5", "", ""}), "#ERR", false},
        EvalCase{Rpn({"5", "%"}), "#ERR", false},  // "%" and TRIM are operands here
        EvalCase{Rpn({"x", "TRIM"}), "#ERR", false},
        EvalCase{Rpn({"5", "ABS", "#ERR", "="}), "#ERR", true},
        EvalCase{Rpn({">"}), "FALSE", false},  // missing operands are empty texts
        EvalCase{Rpn({"", "", "="}), "TRUE", false},
        EvalCase{Rpn({"7", "0", "/", "1", "1", "="}), "TRUE",
                 false},  // the last operation decides Err
        EvalCase{Rpn({"1", "1", "=", "7", "0", "/"}), "TRUE", true}));

struct QtrCase {
  const char* date;
  const char* code;
  const char* quarter;
};

class QtrTest : public ::testing::TestWithParam<QtrCase> {};

TEST_P(QtrTest, QuarterByYearEnd) {
  const QtrCase& c = GetParam();
  cOP op;
  op.EvalRPN(Rpn({c.date, c.code, "QTR"}));
  EXPECT_EQ(op.ans(), c.quarter) << c.date << " " << c.code;
}

INSTANTIATE_TEST_SUITE_P(
    YearEnds, QtrTest,
    ::testing::Values(QtrCase{"2/15/2008", "C", "1"}, QtrCase{"2/15/2008", "S", "3"},
                      QtrCase{"2/15/2008", "F", "2"}, QtrCase{"2/15/2008", "6", "3"},
                      QtrCase{"2/15/2008", "c", "1"}, QtrCase{"12/31/2008", "C", "4"},
                      QtrCase{"7/1/2008", "S", "1"}, QtrCase{"6/30/2008", "S", "4"},
                      QtrCase{"10/1/2008", "F", "1"}, QtrCase{"9/30/2008", "9", "4"},
                      QtrCase{"1/1/2008", "12", "1"}, QtrCase{"1/1/2008", "1", "4"},
                      QtrCase{"2/1/2008", "1", "1"}, QtrCase{"1/1/2008", "X", "0"},
                      QtrCase{"1/1/2008", "13", "0"}, QtrCase{"abc", "C", "#ERR"},
                      QtrCase{"5", "6", "#ERR"}));

struct ThrowCase {
  std::string rpn;
  ErrorCode code;
};

class ArithmeticErrorTest : public ::testing::TestWithParam<ThrowCase> {};

TEST_P(ArithmeticErrorTest, LeavesTheCall) {
  const ThrowCase& c = GetParam();
  cOP op;
  op.EvalRPN(Rpn({"1", "1", "="}));
  try {
    op.EvalRPN(c.rpn);
    FAIL() << "no error for " << c.rpn;
  } catch (const EngineError& e) {
    EXPECT_EQ(e.code(), c.code) << c.rpn;
  }
  EXPECT_EQ(op.ans(), "TRUE");  // the answer of the call that completed stays
}

INSTANTIATE_TEST_SUITE_P(
    Errors, ArithmeticErrorTest,
    ::testing::Values(ThrowCase{Rpn({"1E308", "10", "*"}), ErrorCode::Overflow},
                      ThrowCase{Rpn({"-1E308", "1E308", "-"}), ErrorCode::Overflow},
                      ThrowCase{Rpn({"1E308", "1E-10", "/"}), ErrorCode::Overflow},
                      ThrowCase{Rpn({"0", "LN"}), ErrorCode::InvalidArgument},
                      ThrowCase{Rpn({"-1", "LOG"}), ErrorCode::InvalidArgument},
                      ThrowCase{Rpn({"-4", "SQR"}), ErrorCode::InvalidArgument},
                      ThrowCase{Rpn({"abc", "-1", "LEFT"}), ErrorCode::InvalidArgument},
                      ThrowCase{Rpn({"abc", "40000", "RIGHT"}), ErrorCode::Overflow},
                      ThrowCase{Rpn({"12/31/2099", "1/1/1900", "-"}), ErrorCode::Overflow},
                      ThrowCase{Rpn({"12/31/9999", "1/1/2000", "+"}), ErrorCode::Overflow}));

TEST(EvalRpn, RecoversAfterAFailedEvaluation) {
  cOP op;
  op.EvalRPN(Rpn({"7", "0", "/"}));
  EXPECT_TRUE(op.Err());
  EXPECT_EQ(op.ans(), "#ERR");
  op.EvalRPN(Rpn({"7", "2", "/"}));
  EXPECT_FALSE(op.Err());
  EXPECT_EQ(op.ans(), "3.5");
  EXPECT_EQ(op.rType(), "D");
  EXPECT_DOUBLE_EQ(op.dResult(), 3.5);
}

TEST(EvalRpn, ResultStateOfTheLastOperation) {
  cOP op;
  EXPECT_EQ(op.rType(), "");
  EXPECT_EQ(op.dResult(), -1);
  EXPECT_FALSE(op.bresult());
  EXPECT_FALSE(op.ValidOp());
  op.EvalRPN(Rpn({"abc", "UCASE", "ABC", "="}));
  EXPECT_EQ(op.rType(), "B");
  EXPECT_TRUE(op.bresult());
  EXPECT_EQ(op.sResult(), "ABC");  // kept from the UCASE before
  // a failure keeps the previous results and sets Err
  op.feval("/", "1", "0");
  EXPECT_TRUE(op.Err());
  EXPECT_EQ(op.rType(), "B");
  op.feval("-", "\"10\"", "4");
  EXPECT_FALSE(op.Err());
  EXPECT_EQ(op.dResult(), 6);
  EXPECT_FALSE(op.feval("ABS", "-3", "#ERR"));  // one operand: the second is ignored
  EXPECT_EQ(op.dResult(), 3);
  op.feval("AND", "#ERR", "TRUE");
  EXPECT_TRUE(op.Err());
  op.init();
  EXPECT_EQ(op.dResult(), -1);
  EXPECT_EQ(op.sResult(), "");
}

TEST(EvalRpn, FullStackOverwritesItsTop) {
  std::string rpn;
  for (int i = 1; i <= 120; ++i) (rpn += '\t') += std::to_string(i);
  // 120 pushes leave 99 values, the top one being the last pushed; 98 additions sum them
  for (int i = 0; i < 98; ++i) rpn += "\t+";
  cOP op;
  op.EvalRPN(rpn);
  EXPECT_EQ(op.ans(), std::to_string(98 * 99 / 2 + 120));
  op.EvalRPN(Rpn({"1", "2", "3"}));
  const std::string deb = op.Deb();
  EXPECT_EQ(deb, "Stack(1) = 1\r\nStack(2) = 2\r\nStack(3) = 3\r\n");
  EXPECT_EQ(op.Deb().size(), 2 * deb.size());  // every read appends
}

struct IsNumCase {
  const char* text;
  bool ok;
  double value;
};

class IsNumTest : public ::testing::TestWithParam<IsNumCase> {};

TEST_P(IsNumTest, RelaxedAmounts) {
  const IsNumCase& c = GetParam();
  double v = 99;
  EXPECT_EQ(IsNUM(c.text, v), c.ok) << c.text;
  EXPECT_EQ(v, c.value) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, IsNumTest,
    ::testing::Values(IsNumCase{"$1,234.56", true, 1234.56}, IsNumCase{"(500.00)", true, -500},
                      IsNumCase{"\"42\"", true, 42}, IsNumCase{"  7  ", true, 7},
                      IsNumCase{"-0.5", true, -0.5}, IsNumCase{"100.", true, 100},
                      IsNumCase{"12-", true, -12}, IsNumCase{"N/A", false, 0},
                      IsNumCase{"12%", false, 0}, IsNumCase{"1 000", false, 0},
                      IsNumCase{"-", false, 0}, IsNumCase{"", false, 0}, IsNumCase{"   ", false, 0},
                      IsNumCase{"1e5", false, 0}, IsNumCase{"1.2.3", false, 0},
                      IsNumCase{"((5", false, 0}, IsNumCase{"12/31/2007", false, 0},
                      IsNumCase{"\t5", false, 0}));

}  // namespace
}  // namespace tarnwick

namespace tarnwick {
namespace {

// Err tells of the last operation only; AnyErr of the whole evaluation.
TEST(EvalRpn, AnyErrRemembersAFailureInsideTheExpression) {
  cOP op;
  EXPECT_EQ(op.EvalRPN("7\t0\t/\t1\t>"), "");
  EXPECT_FALSE(op.Err());
  EXPECT_TRUE(op.AnyErr());
  op.EvalRPN("7\t2\t/");
  EXPECT_EQ(op.ans(), "3.5");
  EXPECT_FALSE(op.AnyErr());
  op.EvalRPN("7\t0\t/");
  EXPECT_TRUE(op.Err());
  EXPECT_TRUE(op.AnyErr());
}

}  // namespace
}  // namespace tarnwick

namespace tarnwick {
namespace {

// An evaluation left by an arithmetic error counts as a failed operation.
TEST(EvalRpn, AbandonMarksTheEvaluationFailed) {
  cOP op;
  op.EvalRPN("\t1\t1\t=");
  ASSERT_EQ(op.ans(), "TRUE");
  EXPECT_THROW(op.EvalRPN("\t-4\tSQR\t2\t<"), EngineError);  // EvalRPN itself still raises
  op.Abandon();
  EXPECT_TRUE(op.Err());
  EXPECT_TRUE(op.AnyErr());
  EXPECT_EQ(op.ans(), "#ERR");
  op.EvalRPN("\t1\t1\t=");
  EXPECT_FALSE(op.AnyErr());
}

}  // namespace
}  // namespace tarnwick
