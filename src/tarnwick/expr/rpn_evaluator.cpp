#include "tarnwick/expr/rpn_evaluator.h"

#include <cmath>

#include "tarnwick/core/arith.h"
#include "tarnwick/core/date.h"
#include "tarnwick/core/default_text.h"
#include "tarnwick/core/error.h"
#include "tarnwick/core/holiday_calendar.h"
#include "tarnwick/core/internal/unicode_case.h"
#include "tarnwick/core/numeric_text.h"
#include "tarnwick/core/report_text.h"
#include "tarnwick/core/text.h"

namespace tarnwick {

namespace {

constexpr std::string_view kTrue = "TRUE";
constexpr std::string_view kFalse = "FALSE";
constexpr std::string_view kDigitText[] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};

// The host's date range: 1 January 100 to 31 December 9999.
constexpr double kFirstSerial = -657434.0;
constexpr double kLastSerial = 2958465.0;

bool IsOneOperand(RpnOp op) { return op >= RpnOp::kAbs && op <= RpnOp::kWe; }

bool IsComparison(RpnOp op) { return op >= RpnOp::kLt && op <= RpnOp::kNe; }

template <class T>
bool Compare(RpnOp op, const T& a, const T& b) {
  switch (op) {
    case RpnOp::kLt: return a < b;
    case RpnOp::kLe: return a <= b;
    case RpnOp::kGt: return a > b;
    case RpnOp::kGe: return a >= b;
    case RpnOp::kEq: return a == b;
    default: return a != b;
  }
}

// Quarter of month m (1..12) when the year ends with month n.
int QuarterOf(int m, int n) {
  int k = m - n;
  if (k < 1) k += 12;
  if (k > 12) k -= 12;
  return (k - 1) / 3 + 1;
}

}  // namespace

RpnOp RpnOperatorOf(std::string_view element) {
  const std::string_view t = TrimView(element);
  if (t.empty() || t.size() > 5) return RpnOp::kNone;
  char u[5];
  for (std::size_t i = 0; i < t.size(); ++i) u[i] = UpperChar(t[i]);
  const std::string_view w(u, t.size());
  switch (w.size()) {
    case 1:
      switch (w[0]) {
        case '+': return RpnOp::kAdd;
        case '-': return RpnOp::kSub;
        case '*': return RpnOp::kMul;
        case '/': return RpnOp::kDiv;
        case '<': return RpnOp::kLt;
        case '>': return RpnOp::kGt;
        case '=': return RpnOp::kEq;
        default: return RpnOp::kNone;
      }
    case 2:
      if (w == "<=") return RpnOp::kLe;
      if (w == ">=") return RpnOp::kGe;
      if (w == "<>") return RpnOp::kNe;
      if (w == "HO") return RpnOp::kHo;
      if (w == "LN") return RpnOp::kLn;
      if (w == "WD") return RpnOp::kWd;
      if (w == "WE") return RpnOp::kWe;
      if (w == "OR") return RpnOp::kOr;
      if (w == "LD") return RpnOp::kLd;
      return RpnOp::kNone;
    case 3:
      if (w == "ABS") return RpnOp::kAbs;
      if (w == "LOG") return RpnOp::kLog;
      if (w == "SQR") return RpnOp::kSqr;
      if (w == "AND") return RpnOp::kAnd;
      if (w == "MIN") return RpnOp::kMin;
      if (w == "MAX") return RpnOp::kMax;
      if (w == "QTR") return RpnOp::kQtr;
      return RpnOp::kNone;
    case 4:
      if (w == "LEFT") return RpnOp::kLeft;
      return RpnOp::kNone;
    default:
      if (w == "LCASE") return RpnOp::kLcase;
      if (w == "UCASE") return RpnOp::kUcase;
      if (w == "RIGHT") return RpnOp::kRight;
      return RpnOp::kNone;
  }
}

RpnOperandKinds ClassifyOperand(std::string_view text, DateOrder order) {
  RpnOperandKinds k;
  if (IsTextConstant(text)) {
    k.exact = true;
    return k;
  }
  const std::string_view t = UnquoteOperand(text);
  if (const auto n = ParseNumber(t)) {
    k.numeric = true;
    k.number = *n;
  }
  if (const auto d = ParseDate(t, order)) {
    k.date = true;
    k.serial = d->serial();
  }
  return k;
}

cOP::cOP() : stack_(kSlots) { init(); }
cOP::~cOP() = default;

void cOP::init() {
  dResult_ = -1;
  bresult_ = false;
  sResult_.clear();
}

std::string cOP::rType() const { return rType_ == 0 ? std::string() : std::string(1, rType_); }

const std::string& cOP::Deb() {
  for (std::size_t i = 0; i < finalCount_; ++i) {
    deb_ += "Stack(";
    deb_ += std::to_string(i + 1);
    deb_ += ") = ";
    deb_ += finalCount_ == 1 ? ans_ : finalStack_[i];
    deb_ += kCrLf;
  }
  return deb_;
}

std::string cOP::EvalRPN(std::string_view sRPN) {
  Begin();
  std::size_t pos = 0;
  bool first = true;
  while (pos <= sRPN.size()) {
    std::size_t tab = sRPN.find('\t', pos);
    if (tab == std::string_view::npos) tab = sRPN.size();
    const std::string_view el = sRPN.substr(pos, tab - pos);
    // the parser's RPN begins with a TAB: an empty first element is not an operand
    if (!(first && el.empty())) {
      const RpnOp op = RpnOperatorOf(el);
      if (op == RpnOp::kNone) {
        PushOperand(el);
      } else {
        Apply(op);
      }
    }
    first = false;
    if (sRPN.empty()) break;
    pos = tab + 1;
  }
  End();
  return std::string();
}

void cOP::Begin() {
  count_ = 0;
  err_ = false;
  failures_ = 0;
  deb_.clear();
  finalCount_ = 0;
}

void cOP::End() {
  ans_.assign(count_ == 1 ? stack_[1].v.text : std::string_view("#ERR"));
  finalCount_ = static_cast<std::size_t>(count_);
  // a single value is ans itself; Deb reads it from there
  if (finalCount_ == 1) return;
  if (finalStack_.size() < finalCount_) finalStack_.resize(finalCount_);
  for (std::size_t i = 0; i < finalCount_; ++i) finalStack_[i].assign(stack_[i + 1].v.text);
}

cOP::Slot& cOP::PushSlot() {
  // a full stack keeps its count and overwrites the top entry
  if (count_ < kMaxCount) ++count_;
  return stack_[static_cast<std::size_t>(count_)];
}

cOP::Value cOP::Pop() {
  if (count_ == 0) return Value{};
  return stack_[static_cast<std::size_t>(count_--)].v;
}

void cOP::PushConstant(Slot& s, std::string_view quoted) {
  std::string_view text;
  if (!PlainTextConstant(quoted, text)) {
    // '' inside stands for one quote
    s.own.clear();
    const std::string_view inner = quoted.substr(1, quoted.size() - 2);
    for (std::size_t i = 0; i < inner.size(); ++i) {
      s.own += inner[i];
      if (inner[i] == '\'' && i + 1 < inner.size() && inner[i + 1] == '\'') ++i;
    }
    text = s.own;
  }
  s.v = Value{text, 0, 0, 0, 0};
  s.v.exact = true;
}

void cOP::PushOperand(std::string_view text) {
  Slot& s = PushSlot();
  if (IsTextConstant(text)) return PushConstant(s, text);
  s.v = Value{text};
}

void cOP::PushOperand(std::string_view text, const RpnOperandKinds& kinds) {
  if (kinds.exact) return PushConstant(PushSlot(), text);
  Value& v = PushSlot().v;
  v.text = text;
  v.num = kinds.numeric ? 1 : 0;
  v.number = kinds.number;
  v.date = kinds.date ? 1 : 0;
  v.serial = kinds.serial;
}

void cOP::PushOperand(std::string_view text, std::int8_t num, double number, std::int8_t date,
                      double serial, std::string_view written) {
  Value& v = PushSlot().v;
  v.text = text;
  v.num = num;
  v.number = number;
  v.date = date;
  v.serial = serial;
  v.written = written;
  v.exact = false;
}

void cOP::Abandon() {
  err_ = true;
  ++failures_;
  count_ = 0;
  ans_.assign("#ERR");
  finalCount_ = 0;
}

bool cOP::CompareOperands(RpnOp op, const Operand& l, const Operand& r) {
  Value a{l.text, l.num, l.date, l.number, l.serial, l.written, l.exact};
  Value b{r.text, r.num, r.date, r.number, r.serial, r.written, r.exact};
  if (!OperateTwo(op, a, b)) ++failures_;
  err_ = false;
  return bresult_;
}

bool cOP::Combine(RpnOp op, bool a, bool b) {
  SetBool(op == RpnOp::kAnd ? (a && b) : (a || b));
  err_ = false;
  return bresult_;
}

void cOP::Finish(bool result) {
  count_ = 0;
  ans_.assign(result ? kTrue : kFalse);
  finalCount_ = 1;
}

void cOP::Apply(RpnOp op) {
  Value a, b;
  if (IsOneOperand(op)) {
    a = Pop();
  } else {
    b = Pop();
    a = Pop();
  }
  // The kinds a value carries were found for its unquoted text, so only the text changes.
  // A constant in single quotes is text as written.
  if (!a.exact) a.text = UnquoteOperand(a.text);
  if (!b.exact) b.text = UnquoteOperand(b.text);
  if (!Operate(op, a, b)) {
    err_ = true;
    ++failures_;
    return;
  }
  err_ = false;
  Slot& s = PushSlot();
  if (resultKind_ == ResultText::kScratch) {
    s.own.swap(scratch_);
    s.v = Value{s.own};
  } else {
    s.v = Value{resultView_};
    if (rType_ == 'B') {
      s.v.num = 0;
      s.v.date = 0;
    }
  }
}

bool cOP::feval(std::string_view sop, std::string_view sarg1, std::string_view sarg2) {
  Value a{UnquoteOperand(sarg1)};
  Value b{UnquoteOperand(sarg2)};
  err_ = !Operate(RpnOperatorOf(sop), a, b);
  return false;
}

bool cOP::IsNum(Value& v) {
  if (v.num < 0) {
    const auto n = ParseNumber(v.text);
    v.num = n ? 1 : 0;
    v.number = n ? *n : 0;
  }
  return v.num == 1;
}

bool cOP::IsDate(Value& v) {
  if (v.date < 0) {
    const auto d = ParseDate(v.text, order_);
    v.date = d ? 1 : 0;
    v.serial = d ? d->serial() : 0;
  }
  return v.date == 1;
}

bool cOP::Operate(RpnOp op, Value& a, Value& b) {
  if (op == RpnOp::kNone) return false;
  const bool aErr = !a.exact && a.text == "#ERR";
  if (IsOneOperand(op)) {
    if (aErr) return false;
    return OperateOne(op, a);
  }
  if (aErr || (!b.exact && b.text == "#ERR")) return false;
  return OperateTwo(op, a, b);
}

bool cOP::SetNumber(double x) {
  dResult_ = Checked(x);
  rType_ = 'D';
  scratch_.clear();
  AppendNumText(scratch_, dResult_);
  resultKind_ = ResultText::kScratch;
  return true;
}

bool cOP::SetBool(bool b) {
  bresult_ = b;
  rType_ = 'B';
  resultView_ = b ? kTrue : kFalse;
  resultKind_ = ResultText::kView;
  return true;
}

bool cOP::SetTextView(std::string_view t) {
  sResult_.assign(t);
  rType_ = 'S';
  resultView_ = t;
  resultKind_ = ResultText::kView;
  return true;
}

bool cOP::SetTextScratch() {
  sResult_.assign(scratch_);
  rType_ = 'S';
  resultKind_ = ResultText::kScratch;
  return true;
}

void cOP::SetHolidays(const HolidayCalendar* calendar) { holidays_ = calendar; }

// The date the operand text was read as (in the evaluator's date order), so that the calendar
// sees the same day as the other date operations.
bool cOP::Holiday(double serial) {
  const Date day(serial);
  return holidays_ ? holidays_->Find(day) >= 0 : IsFederalHoliday(day);
}

bool cOP::OperateOne(RpnOp op, Value& x) {
  switch (op) {
    case RpnOp::kAbs:
      if (!IsNum(x)) return false;
      return SetNumber(std::fabs(x.number));
    case RpnOp::kSqr:
      if (!IsNum(x)) return false;
      return SetNumber(Sqr(x.number));
    case RpnOp::kLn:
      if (!IsNum(x)) return false;
      return SetNumber(Log(x.number));
    case RpnOp::kLog:
      if (!IsNum(x)) return false;
      return SetNumber(Log(x.number) / std::log(10.0));
    case RpnOp::kLcase:
      scratch_.clear();
      AppendLower(scratch_, x.text);
      return SetTextScratch();
    case RpnOp::kUcase:
      scratch_.clear();
      AppendUpper(scratch_, x.text);
      return SetTextScratch();
    case RpnOp::kWd:
      if (!IsDate(x)) return false;
      return SetTextView(kDigitText[Date(x.serial).Weekday()]);
    case RpnOp::kWe: {
      if (!IsDate(x)) return false;
      const int wd = Date(x.serial).Weekday();
      return SetBool(wd == 1 || wd == 7);
    }
    case RpnOp::kHo:
      if (!IsDate(x)) return false;
      return SetBool(x.text.size() >= 5 && Holiday(x.serial));
    default: return false;
  }
}

std::string_view cOP::WithoutAddedPoint(Value& v) {
  // a whole number rendered by the substitution ends with a point the row did not have
  if (v.text.size() > 1 && v.text.back() == '.' && IsNum(v))
    return v.text.substr(0, v.text.size() - 1);
  return v.text;
}

std::string_view cOP::AsWritten(Value& v) {
  if (v.exact) return v.text;
  if (v.written.data() != nullptr) return UnquoteOperand(v.written);
  return WithoutAddedPoint(v);
}

bool cOP::OperateTwo(RpnOp op, Value& l, Value& r) {
  // LEFT and RIGHT cut the text of their first operand whatever it looks like.
  if (op == RpnOp::kLeft || op == RpnOp::kRight) {
    l.text = WithoutAddedPoint(l);
    return TextOp(op, l, r);
  }
  // a text constant in single quotes is matched exactly, as written
  if ((l.exact || r.exact) && IsComparison(op)) {
    const int c = AsWritten(l).compare(AsWritten(r));
    return SetBool(Compare(op, c < 0 ? -1 : c > 0 ? 1 : 0, 0));
  }

  if (IsNum(l) && IsNum(r)) {
    const double a = l.number, b = r.number;
    if (IsComparison(op)) return SetBool(Compare(op, a, b));
    switch (op) {
      case RpnOp::kAdd: return SetNumber(a + b);
      case RpnOp::kSub: return SetNumber(a - b);
      case RpnOp::kMul: return SetNumber(a * b);
      case RpnOp::kDiv:
        if (b == 0.0) return false;
        return SetNumber(a / b);
      case RpnOp::kMin: return SetNumber(a <= b ? a : b);
      case RpnOp::kMax: return SetNumber(a < b ? b : a);
      default: return false;
    }
  }

  if (IsDate(l) && IsDate(r)) {
    const double d = std::trunc(l.serial), e = std::trunc(r.serial);
    if (IsComparison(op)) return SetBool(Compare(op, d, e));
    if (op == RpnOp::kSub) {
      const double diff = d - e;
      if (diff < -32768.0 || diff > 32767.0) Raise(ErrorCode::Overflow, "day difference");
      return SetNumber(diff);
    }
    if (op == RpnOp::kAdd) {
      const double sum = d + e;
      if (sum < kFirstSerial || sum > kLastSerial) Raise(ErrorCode::Overflow, "date sum");
      scratch_ = DateText(Date(sum));
      if (order_ != DateOrder::kMdy) {
        // written as the operands are, so that a later operation reads the same day
        const YearMonthDay ymd = Date(sum).Ymd();
        scratch_ = order_ == DateOrder::kDmy
                       ? std::to_string(ymd.day) + "/" + std::to_string(ymd.month) + "/" +
                             std::to_string(ymd.year)
                       : std::to_string(ymd.year) + "/" + std::to_string(ymd.month) + "/" +
                             std::to_string(ymd.day);
      }
      return SetTextScratch();
    }
    return false;
  }

  if (op == RpnOp::kQtr) {
    if (!IsDate(l)) return false;
    const int m = Date(l.serial).month();
    const std::string_view code = r.text;
    int q = 0;
    if (code.size() == 1 && (UpperChar(code[0]) == 'C')) {
      q = QuarterOf(m, 12);
    } else if (code.size() == 1 && UpperChar(code[0]) == 'S') {
      q = QuarterOf(m, 6);
    } else if (code.size() == 1 && UpperChar(code[0]) == 'F') {
      q = QuarterOf(m, 9);
    } else {
      for (int n = 1; n <= 12; ++n) {
        if (code == std::to_string(n)) {
          q = QuarterOf(m, n);
          break;
        }
      }
    }
    return SetTextView(kDigitText[q]);
  }

  if (op == RpnOp::kAnd || op == RpnOp::kOr) {
    const bool a = EqualsNoCase(l.text, kTrue), b = EqualsNoCase(r.text, kTrue);
    return SetBool(op == RpnOp::kAnd ? (a && b) : (a || b));
  }

  return TextOp(op, l, r);
}

bool cOP::TextOp(RpnOp op, Value& l, Value& r) {
  if (IsComparison(op)) return SetBool(Compare(op, CompareNoCaseText(l.text, r.text), 0));
  if (op == RpnOp::kLeft || op == RpnOp::kRight) {
    if (!IsNum(r)) return false;
    const std::int16_t n = ToInteger(r.number);
    if (n < 0) Raise(ErrorCode::InvalidArgument, "negative count");
    const std::size_t k =
        static_cast<std::size_t>(n) < l.text.size() ? static_cast<std::size_t>(n) : l.text.size();
    return SetTextView(op == RpnOp::kLeft ? l.text.substr(0, k) : l.text.substr(l.text.size() - k));
  }
  if (op == RpnOp::kLd) return SetTextView("Handle LD");
  return false;
}

}  // namespace tarnwick
