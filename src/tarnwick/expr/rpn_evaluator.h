#pragma once
// cOP: evaluates a filter in reverse Polish notation after the row's values are in it.
//
// Every value on the stack is text. Each operation decides from its operands' texts whether
// to work on numbers, dates, booleans or plain text, and pushes its result back as text; the
// answer is the single text left on the stack ("TRUE" selects a row, "#ERR" when the stack
// does not end with exactly one value).
//
// Failed operations (a missing requirement, "/" by zero, an operator the operand kinds do not
// support) push nothing and set Err. Arithmetic that leaves the double range, LN/LOG of a
// number that is not positive, SQR of a negative number, a LEFT/RIGHT count outside 0..32767
// a day difference outside -32768..32767 and a sum of two dates beyond 31 December 9999 throw
// EngineError from EvalRPN / feval (Overflow, or InvalidArgument for LN/LOG/SQR and a negative
// LEFT/RIGHT count).
//
// LEFT and RIGHT take the text of their first operand whatever it looks like, so LEFT of an
// account number works like LEFT of a name; a whole number that the substitution rendered
// with a trailing point is cut without it (RIGHT of cheque 100301, substituted as "100301.",
// is "01", not "1."). A comparison with a text constant in single quotes compares the two
// texts exactly (letter case too), a substituted value as the row wrote it when the
// substitution said so (PushOperand's `written`), else without the added point.
// The other operators are dispatched on the kinds of both operands (numbers, then dates, then
// QTR, AND/OR, then text). Text comparisons ignore letter case, and UCASE / LCASE map letters
// beyond ASCII too (Unicode casing of UTF-8 text).

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tarnwick/core/numeric_text.h"

namespace tarnwick {

class HolidayCalendar;

// Operators the evaluator knows; kNone marks an operand.
enum class RpnOp : std::uint8_t {
  kNone,
  // one operand
  kAbs,
  kHo,
  kLcase,
  kLn,
  kLog,
  kSqr,
  kUcase,
  kWd,
  kWe,
  // two operands
  kAdd,
  kSub,
  kMul,
  kDiv,
  kLt,
  kLe,
  kGt,
  kGe,
  kEq,
  kNe,
  kAnd,
  kOr,
  kLeft,
  kRight,
  kMin,
  kMax,
  kQtr,
  kLd,
};

// The operator an RPN element names (trimmed, upper-cased), or kNone for an operand.
// "%" and TRIM are operands here.
RpnOp RpnOperatorOf(std::string_view element);

// What an operand text is, once quotes are removed; computed once for constants of a prepared
// filter so rows do not test them again.
struct RpnOperandKinds {
  bool numeric = false;
  bool date = false;
  bool exact = false;  // a text constant in single quotes: neither a number nor a date
  double number = 0;   // the number when numeric
  double serial = 0;   // the date serial when a date
};
RpnOperandKinds ClassifyOperand(std::string_view text, DateOrder order = DateOrder::kMdy);
// A text constant in single quotes ('000496', 'Acme, Inc.'; '' inside stands for one quote):
// it is text exactly as written, compared exactly with the other operand as written.
inline bool IsTextConstant(std::string_view t) {
  return t.size() >= 2 && t.front() == '\'' && t.back() == '\'';
}
// The text of a constant in single quotes, when it holds no doubled quote (else false).
inline bool PlainTextConstant(std::string_view t, std::string_view& text) {
  if (!IsTextConstant(t)) return false;
  text = t.substr(1, t.size() - 2);
  return text.find('\'') == std::string_view::npos;
}
// Removes the quotes of an operand as the evaluator does before an operation.
inline std::string_view UnquoteOperand(std::string_view t) {
  if (t.size() >= 2 && t.front() == '"') {
    if (t.size() >= 3 && t.substr(t.size() - 2) == "\",") t.remove_suffix(1);
    if (t.size() >= 2 && t.back() == '"') t = t.substr(1, t.size() - 2);
  }
  return t;
}

class cOP {
 public:
  cOP();
  ~cOP();
  cOP(const cOP&) = delete;
  cOP& operator=(const cOP&) = delete;

  // Diagnostic trace: each read appends one line per value left on the stack by the last
  // evaluation ("Stack(1) = TRUE").
  const std::string& Deb();
  const std::string& ans() const { return ans_; }
  // Evaluates the TAB-separated RPN text and sets ans; returns an empty string.
  std::string EvalRPN(std::string_view sRPN);
  void init();
  // "D" number, "B" boolean, "S" text, "" before any operation.
  std::string rType() const;
  bool ValidOp() const { return false; }
  double dResult() const { return dResult_; }
  bool bresult() const { return bresult_; }
  const std::string& sResult() const { return sResult_; }
  bool Err() const { return err_; }
  // True when any operation of the last evaluation failed. Err tells of the last operation
  // only, and a failure inside a comparison ("$Amount / 0 > 1") is followed by operations
  // that succeed on what is left of the stack.
  bool AnyErr() const { return failures_ > 0; }
  // Evaluates one operation on two operand texts (quotes removed first); pushes nothing.
  // A one-operand operator uses sarg1 only. Returns False.
  bool feval(std::string_view sop, std::string_view sarg1, std::string_view sarg2);
  // Marks an evaluation that an arithmetic error left (see cParse): it counts as a failed
  // operation, Err and AnyErr are True and the answer is "#ERR".
  void Abandon();

  // The order in which operand texts write dates (month/day/year unless set); the sum of two
  // dates is written in the same order, so that later operations read it back.
  void SetDateOrder(DateOrder order) { order_ = order; }
  DateOrder GetDateOrder() const { return order_; }
  // The calendar of the holiday function HO: nullptr (the default) for the observed United
  // States federal holidays, else a calendar of the caller's, which must outlive its use here.
  void SetHolidays(const HolidayCalendar* calendar);

  // Evaluation steps for prepared filters (cParse drives them with elements it classified
  // once): Begin, then Push*/Apply per element in RPN order, then End, is exactly EvalRPN of
  // the same elements. Views handed to Push* must stay valid until End returns.
  void Begin();
  void PushOperand(std::string_view text);
  void PushOperand(std::string_view text, const RpnOperandKinds& kinds);
  // An operand whose kinds are partly known (-1 not yet tested, 0 no, 1 yes; the number and
  // the serial are read only when known to be one).
  // `written` is the text a substituted value had in the row before it was rendered as a
  // number: comparisons with a text constant read that.
  void PushOperand(std::string_view text, std::int8_t num, double number, std::int8_t date,
                   double serial, std::string_view written = {});
  void Apply(RpnOp op);
  void End();

  // Filters made only of comparisons of two operands joined by AND / OR: after Begin, each
  // CompareOperands is Push(l), Push(r), Apply(op) of a comparison, each Combine is Apply(AND / OR)
  // on the last two results, and Finish(result) is End with that single result on the stack. Valid
  // only when no operand text (quotes removed) is "#ERR", so that nothing fails.
  struct Operand {
    std::string_view text;            // quotes removed
    std::int8_t num = -1, date = -1;  // -1 not yet tested, 0 no, 1 yes
    double number = 0, serial = 0;
    std::string_view written = {};  // a substituted value's text in the row
    bool exact = false;             // a text constant in single quotes (text without them)
  };
  bool CompareOperands(RpnOp op, const Operand& l, const Operand& r);
  bool Combine(RpnOp op, bool a, bool b);
  void Finish(bool result);

 private:
  struct Value {
    std::string_view text;
    std::int8_t num = -1;  // -1 not yet tested, 0 no, 1 yes
    std::int8_t date = -1;
    double number = 0;
    double serial = 0;
    std::string_view written = {};  // the row's text of a substituted value, when it differs
    bool exact = false;             // a text constant in single quotes
  };
  struct Slot {
    Value v;
    std::string own;  // storage for results computed into this slot
  };
  enum class ResultText : std::uint8_t { kView, kScratch };

  Value Pop();
  Slot& PushSlot();
  bool IsNum(Value& v);
  bool IsDate(Value& v);
  bool Operate(RpnOp op, Value& a, Value& b);
  bool OperateOne(RpnOp op, Value& x);
  bool OperateTwo(RpnOp op, Value& l, Value& r);
  bool TextOp(RpnOp op, Value& l, Value& r);
  std::string_view AsWritten(Value& v);
  std::string_view WithoutAddedPoint(Value& v);
  void PushConstant(Slot& s, std::string_view quoted);
  bool SetNumber(double x);
  bool SetBool(bool b);
  bool SetTextView(std::string_view t);
  bool SetTextScratch();
  bool Holiday(double serial);

  static constexpr int kSlots = 101;
  static constexpr int kMaxCount = 99;
  std::vector<Slot> stack_;
  std::int16_t count_ = 0;

  char rType_ = 0;
  double dResult_ = -1;
  bool bresult_ = false;
  std::string sResult_;
  bool err_ = false;
  std::int32_t failures_ = 0;
  std::string ans_;
  std::string deb_;
  std::vector<std::string> finalStack_;
  std::size_t finalCount_ = 0;

  // the text of the last successful operation, for pushing
  std::string_view resultView_;
  ResultText resultKind_ = ResultText::kView;
  std::string scratch_;

  const HolidayCalendar* holidays_ = nullptr;
  DateOrder order_ = DateOrder::kMdy;
};

}  // namespace tarnwick
