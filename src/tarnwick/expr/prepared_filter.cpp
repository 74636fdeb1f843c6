#include "tarnwick/expr/parser.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "tarnwick/core/error.h"
#include "tarnwick/core/internal/field_split.h"
#include "tarnwick/core/numeric_text.h"
#include "tarnwick/core/report_text.h"
#include "tarnwick/expr/is_num.h"

// The prepared half of cParse: a filter tokenized and compiled once per (filter, header line),
// then evaluated row by row; and the normalisation of numeric values that both the prepared
// rows and the plain text substitution (subtext) apply.

namespace tarnwick {

namespace {

constexpr std::string_view kAmountPattern = "#########.#######";

// Row values are a few characters long: vectorised loops only add set-up work to them.
#if defined(__GNUC__) && !defined(__clang__)
#define TARNWICK_SHORT_LOOPS __attribute__((optimize("no-tree-vectorize")))
#else
#define TARNWICK_SHORT_LOOPS
#endif

constexpr bool IsDigitChar(char c) { return c >= '0' && c <= '9'; }

std::size_t CountChar(std::string_view s, char c) {
  return static_cast<std::size_t>(std::count(s.begin(), s.end(), c));
}

bool HasDollarDigit(std::string_view s) {
  for (std::size_t p = s.find('$'); p != std::string_view::npos; p = s.find('$', p + 1))
    if (p + 1 < s.size() && IsDigitChar(s[p + 1])) return true;
  return false;
}

// The usual amount "[-+]digits[.digits]" with at most 15 digits, at most 7 decimals and fewer
// than 16 digits once scaled to ten-millionths, rendered straight from its text. Its number
// is m / 10^d (exact digits over an exact power, one rounding), and scaling that by 1E7 stays
// within 0.5 of the whole number m * 10^(7-d) below 2^51, so the general path below would
// round to exactly these digits; the number is the one that path computes. Returns the length
// written to buf (at most kPlainAmountMax), or 0 for anything else.
constexpr std::size_t kPlainAmountMax = 24;  // 15 digits, a sign and a point fit

TARNWICK_SHORT_LOOPS std::size_t PlainAmount(std::string_view s, char* buf, double& number) {
  static constexpr double kTen[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7};
  std::size_t i = 0;
  const std::size_t n = s.size();
  bool negative = false;
  if (i < n && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  const std::size_t wholeBegin = i;
  std::uint64_t m = 0;
  while (i < n && IsDigitChar(s[i])) m = m * 10 + static_cast<std::uint64_t>(s[i++] - '0');
  const std::size_t wholeEnd = i;
  std::size_t fracEnd = i;
  if (i < n && s[i] == '.') {
    ++i;
    while (i < n && IsDigitChar(s[i])) m = m * 10 + static_cast<std::uint64_t>(s[i++] - '0');
    fracEnd = i;
  }
  if (i != n) return 0;
  const std::size_t decimals = fracEnd > wholeEnd ? fracEnd - wholeEnd - 1 : 0;
  const std::size_t digits = (wholeEnd - wholeBegin) + decimals;
  if (digits == 0 || digits > 15 || decimals > 7 || digits + 7 - decimals > 15) return 0;
  if (m == 0) {
    buf[0] = '0';
    number = 0;
    return 1;
  }
  std::uint64_t scaled = m;
  for (std::size_t k = decimals; k < 7; ++k) scaled *= 10;
  const double magnitude = static_cast<double>(scaled) / kTen[7];
  number = negative ? -magnitude : magnitude;
  std::size_t w = wholeBegin;
  while (w < wholeEnd && s[w] == '0') ++w;
  std::size_t f = fracEnd;
  if (decimals > 0)
    while (f > wholeEnd + 1 && s[f - 1] == '0') --f;
  char* p = buf;
  if (negative) *p++ = '-';
  for (std::size_t k = w; k < wholeEnd; ++k) *p++ = s[k];
  *p++ = '.';
  if (decimals > 0)
    for (std::size_t k = wholeEnd + 1; k < f; ++k) *p++ = s[k];
  return static_cast<std::size_t>(p - buf);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Normalisation of numeric values

bool cParse::Normalise(std::string_view value, std::string& out, double& number) {
  char buf[kPlainAmountMax];
  if (const std::size_t n = PlainAmount(value, buf, number)) {
    out.assign(buf, n);
    return true;
  }
  double v = 0;
  if (!IsNUM(value, v)) return false;
  out.clear();
  // "#########.#######" for the usual magnitudes, by the same steps as the number patterns:
  // round the exact |v| to seven decimals, halves away from zero, no integer digits for a zero
  // integer part, a trailing point for a whole number; the number is the one that text reads as.
  std::uint64_t n = 0;
  if (RoundScaled(v, 7, n) && n < 9007199254740992ULL) {
    if (n == 0) {
      // Zero would render as a lone "." which is not a number; keep it numeric.
      out.assign(1, '0');
      number = 0;
      return true;
    }
    char buf[32];
    char* end = buf + sizeof buf;
    char* p = end;
    std::uint64_t frac = n % 10000000;
    int fracDigits = 7;
    while (fracDigits > 0 && frac % 10 == 0) {
      frac /= 10;
      --fracDigits;
    }
    for (int k = 0; k < fracDigits; ++k, frac /= 10) *--p = static_cast<char>('0' + frac % 10);
    *--p = '.';
    for (std::uint64_t whole = n / 10000000; whole != 0; whole /= 10)
      *--p = static_cast<char>('0' + whole % 10);
    if (std::signbit(v)) *--p = '-';
    out.assign(p, static_cast<std::size_t>(end - p));
    const double magnitude = static_cast<double>(n) / 1e7;
    number = std::signbit(v) ? -magnitude : magnitude;
    return true;
  }
  AppendNumber(out, v, kAmountPattern);
  // Zero would render as a lone "." which is not a number; keep it numeric.
  if (out.find_first_of("0123456789") == std::string::npos) out.assign(1, '0');
  number = ParseNumber(out).value_or(0.0);
  return true;
}

// ---------------------------------------------------------------------------------------------
// Prepared filters

void cParse::Materialise() {
  if (!rpnPending_) return;
  rpnPending_ = false;
  rpn_ = program_.base;
  SubRowImpl(rowCopy_, Notice::kNever);
}

void cParse::RestorePrepared() {
  text_ = prepRest_;
  infixCopy_ = prepInfixCopy_;
  errMsg_ = prepErr_;
  deb_ = prepDeb_;
  rpn_ = prepRpn_;
  Headers(prepHeader_);
  rpnPending_ = false;
  rowApplied_ = false;
  dirty_ = false;
}

bool cParse::Prepare(std::string_view filter, std::string_view headerLine) {
  if (prepared_ && filter == prepFilter_ && headerLine == prepHeader_) {
    if (dirty_) {
      RestorePrepared();
    } else if (rowApplied_) {
      // only the RPN moved on: back to the text before substitution
      rpn_ = prepRpn_;
      rpnPending_ = false;
      rowApplied_ = false;
    }
    return !Err();
  }
  prepared_ = false;
  rpnPending_ = false;
  Infix(filter);
  Headers(headerLine);
  parse();
  if (!Err()) ReplaceColnames();
  prepFilter_.assign(filter);
  prepHeader_.assign(headerLine);
  prepRest_ = text_;
  prepInfixCopy_ = infixCopy_;
  prepErr_ = errMsg_;
  prepDeb_ = deb_;
  prepRpn_ = rpn_;
  if (!Err()) {
    Compile(rpn_);
    programPrepared_ = true;
  }
  prepared_ = true;
  rowApplied_ = false;
  parenNoticeShown_ = false;
  dirty_ = false;
  return !Err();
}

bool cParse::SelectRow(std::string_view line, cOP& op) { return Select(line, {}, true, op); }

bool cParse::SelectFields(std::string_view line, std::span<const std::string_view> fields,
                          cOP& op) {
  return Select(line, fields, false, op);
}

bool cParse::Select(std::string_view line, std::span<const std::string_view> fields, bool split,
                    cOP& op) {
  if (!prepared_) Prepare(std::string_view(), std::string_view());
  if (dirty_) RestorePrepared();
  if (Err()) return false;
  rpnPending_ = false;  // the previous row's text is superseded
  if (!programPrepared_) {
    Compile(prepRpn_);
    programPrepared_ = true;
  }
  try {
    RunRow(line, fields, split, Notice::kOnce, op);
  } catch (const EngineError&) {
    // an operation beyond the number range or outside its function's domain: like any failed
    // operation, the row could not be evaluated
    op.Abandon();
  }
  return !op.AnyErr() && op.ans() == "TRUE";
}

void cParse::Compile(const std::string& base) {
  Program& p = program_;
  p.valid = false;
  p.literalOnly = false;
  p.base = base;
  p.elems.clear();
  p.pieces.clear();
  p.slots.clear();
  p.maxColumn = 0;
  p.baseParens = CountChar(base, '(');
  std::uint32_t mixedCount = 0;
  const std::string_view text = p.base;

  auto slotOf = [&](std::int32_t column, std::uint32_t codeBegin, std::uint32_t codeLen) {
    for (std::size_t i = 0; i < p.slots.size(); ++i)
      if (p.slots[i].column == column) {
        ++p.slots[i].occurrences;
        return static_cast<std::int32_t>(i);
      }
    p.slots.push_back(SlotInfo{column, 1, codeBegin, codeLen});
    p.maxColumn = std::max(p.maxColumn, column);
    return static_cast<std::int32_t>(p.slots.size() - 1);
  };

  std::size_t pos = 0;
  bool first = true;
  while (!text.empty()) {
    std::size_t tab = text.find('\t', pos);
    if (tab == std::string_view::npos) tab = text.size();
    const std::string_view el = text.substr(pos, tab - pos);
    const auto elBegin = static_cast<std::uint32_t>(pos);
    if (!(first && el.empty())) {
      Element e;
      e.first = first;
      // find the column codes: "$" and a digit run without a leading zero
      const auto firstPiece = static_cast<std::uint32_t>(p.pieces.size());
      std::size_t lit = 0;
      std::size_t codes = 0;
      // a text constant in single quotes holds no column code
      const std::size_t scanTo = IsTextConstant(el) ? 0 : el.size();
      for (std::size_t j = 0; j + 1 < scanTo; ++j) {
        if (el[j] != '$' || !IsDigitChar(el[j + 1])) continue;
        std::size_t k = j + 1;
        while (k < el.size() && IsDigitChar(el[k])) ++k;
        const std::string_view digits = el.substr(j + 1, k - j - 1);
        // Substitution runs column by column over the whole text, so a code next to another
        // "$" could be completed or cut by an earlier value: leave such filters to it.
        if ((j > 0 && el[j - 1] == '$') || (k < el.size() && el[k] == '$')) p.literalOnly = true;
        if (digits[0] == '0' || digits.size() > 9) {
          j = k - 1;
          continue;
        }
        std::int32_t column = 0;
        for (const char d : digits) column = column * 10 + (d - '0');
        if (j > lit)
          p.pieces.push_back(Piece{elBegin + static_cast<std::uint32_t>(lit),
                                   static_cast<std::uint32_t>(j - lit), -1});
        const auto codeBegin = elBegin + static_cast<std::uint32_t>(j);
        const auto codeLen = static_cast<std::uint32_t>(k - j);
        p.pieces.push_back(Piece{codeBegin, codeLen, slotOf(column, codeBegin, codeLen)});
        ++codes;
        lit = k;
        j = k - 1;
      }
      if (codes == 0) {
        e.op = RpnOperatorOf(el);
        e.kind = e.op == RpnOp::kNone ? Element::Kind::kOperand : Element::Kind::kOperator;
        e.begin = elBegin;
        e.len = static_cast<std::uint32_t>(el.size());
        if (e.kind == Element::Kind::kOperand) e.kinds = ClassifyOperand(el, order_);
      } else if (codes == 1 && p.pieces.size() == firstPiece + 1 && lit == el.size()) {
        e.kind = Element::Kind::kSlot;
        e.slot = p.pieces.back().slot;
        p.pieces.pop_back();
      } else {
        if (lit < el.size())
          p.pieces.push_back(Piece{elBegin + static_cast<std::uint32_t>(lit),
                                   static_cast<std::uint32_t>(el.size() - lit), -1});
        e.kind = Element::Kind::kMixed;
        e.firstPiece = firstPiece;
        e.pieceCount = static_cast<std::uint32_t>(p.pieces.size()) - firstPiece;
        e.buffer = mixedCount++;
      }
      p.elems.push_back(e);
    }
    first = false;
    if (tab == text.size()) break;
    pos = tab + 1;
  }
  if (mixed_.size() < mixedCount) mixed_.resize(mixedCount);
  if (values_.size() < p.slots.size()) values_.resize(p.slots.size());
  // The field table grows with the fields rows really have: a column number far beyond any
  // row ("$50000000") must not claim memory for fields that never come.
  FindComparisons(p);
  p.valid = true;
}

void cParse::RunLiteral(cOP& op, Notice notice) {
  rpn_ = program_.base;
  rpnPending_ = false;
  SubRowImpl(rowCopy_, notice);
  op.EvalRPN(rpn_);
}

// What one pass over a row value tells: whether IsNUM could accept it, whether the number and
// date tests could accept its unquoted text (characters they never take rule them out), and
// the "(" and "$" it holds.
TARNWICK_SHORT_LOOPS cParse::ValueScan cParse::ScanValue(std::string_view f) {
  enum : std::uint8_t { kAmount = 1, kNumber = 2, kDate = 4, kParen = 8, kDollar = 16 };
  static constexpr auto kClass = [] {
    std::array<std::uint8_t, 256> t{};
    auto set = [&t](std::string_view chars, std::uint8_t bit) {
      for (const char c : chars) t[static_cast<unsigned char>(c)] |= bit;
    };
    set(" \"),$(0123456789+-.", kAmount);
    set(" ()+-$0123456789,.eEdD", kNumber);
    set("0123456789/-. :AMPamp", kDate);
    set("(", kParen);
    set("$", kDollar);
    return t;
  }();
  // the unquoted text, then the quote characters around it
  const std::string_view u = UnquoteOperand(f);
  std::uint8_t inner = 0xFF, any = 0;
  for (const char c : u) {
    const std::uint8_t m = kClass[static_cast<unsigned char>(c)];
    inner &= m;
    any |= m;
  }
  std::uint8_t all = inner;
  const auto ub = static_cast<std::size_t>(u.data() - f.data());
  auto outer = [&](std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) {
      const std::uint8_t m = kClass[static_cast<unsigned char>(f[i])];
      all &= m;
      any |= m;
    }
  };
  outer(0, ub);
  outer(ub + u.size(), f.size());
  ValueScan scan;
  scan.amountChars = (all & kAmount) != 0;
  scan.numberChars = (inner & kNumber) != 0;
  scan.dateChars = (inner & kDate) != 0;
  scan.dollar = (any & kDollar) != 0;
  scan.parens = (any & kParen) != 0 ? CountChar(f, '(') : 0;
  return scan;
}

// A value substituted as it is: an operator when it reads as one, else an operand whose number
// and date tests are left to the evaluator unless its characters rule them out.
void cParse::SetText(SlotValue& v, std::string_view text, const ValueScan& scan) {
  v.text = text;
  v.written = {};
  v.op = RpnOperatorOf(text);
  v.num = scan.numberChars ? -1 : 0;
  v.number = 0;
  v.date = scan.dateChars ? -1 : 0;
}

void cParse::FindComparisons(Program& p) const {
  // Follow the RPN with a stack of what each entry is: an operand or a comparison's result.
  p.steps.clear();
  p.comparisons = false;
  constexpr std::size_t kDepth = 64;
  std::vector<std::uint32_t> stack;  // element index, or kResult
  constexpr std::uint32_t kResult = 0xFFFFFFFFu;
  for (std::uint32_t i = 0; i < p.elems.size(); ++i) {
    const Element& e = p.elems[i];
    if (e.kind == Element::Kind::kOperand) {
      // a constant that fails every operation would change the shape of the evaluation; a text
      // constant with a doubled quote needs the stack's own copy
      const std::string_view el = std::string_view(p.base).substr(e.begin, e.len);
      std::string_view plain;
      if (e.kinds.exact ? !PlainTextConstant(el, plain) : UnquoteOperand(el) == "#ERR") return;
      stack.push_back(i);
    } else if (e.kind == Element::Kind::kSlot) {
      stack.push_back(i);
    } else if (e.kind == Element::Kind::kOperator && e.op >= RpnOp::kLt && e.op <= RpnOp::kNe) {
      if (stack.size() < 2 || stack.back() == kResult || stack[stack.size() - 2] == kResult) return;
      Program::Step s;
      s.op = e.op;
      auto operand = [&p](std::uint32_t index, std::int32_t& slot, cOP::Operand& o) {
        const Element& x = p.elems[index];
        if (x.kind == Element::Kind::kSlot) {
          slot = x.slot;
          return;
        }
        const std::string_view el = std::string_view(p.base).substr(x.begin, x.len);
        o.exact = x.kinds.exact;
        if (!o.exact || !PlainTextConstant(el, o.text)) o.text = UnquoteOperand(el);
        o.num = x.kinds.numeric ? 1 : 0;
        o.number = x.kinds.number;
        o.date = x.kinds.date ? 1 : 0;
        o.serial = x.kinds.serial;
      };
      operand(stack.back(), s.rightSlot, s.right);
      stack.pop_back();
      operand(stack.back(), s.leftSlot, s.left);
      stack.back() = kResult;
      p.steps.push_back(s);
    } else if (e.kind == Element::Kind::kOperator && (e.op == RpnOp::kAnd || e.op == RpnOp::kOr)) {
      if (stack.size() < 2 || stack.back() != kResult || stack[stack.size() - 2] != kResult) return;
      stack.pop_back();
      Program::Step s;
      s.leaf = false;
      s.op = e.op;
      p.steps.push_back(s);
    } else {
      return;
    }
    if (stack.size() > kDepth) return;
  }
  p.comparisons = stack.size() == 1 && stack.back() == kResult;
}

cOP::Operand cParse::SlotOperand(std::int32_t slot) const {
  const SlotValue& v = values_[static_cast<std::size_t>(slot)];
  cOP::Operand o;
  o.text = UnquoteOperand(v.text);
  o.written = v.written;
  o.num = v.num;
  o.number = v.number;
  o.date = v.date;
  return o;
}

// The comparisons of a filter that has their shape, when this row's values keep it: none reads
// as an operator or is "#ERR", and the first element is not an empty value (which the RPN
// would skip). False when the row needs the general evaluation.
bool cParse::RunComparisons(cOP& op) {
  const Program& p = program_;
  for (std::size_t i = 0; i < p.slots.size(); ++i)
    if (values_[i].op != RpnOp::kNone || UnquoteOperand(values_[i].text) == "#ERR") return false;
  const Element& first = p.elems.front();
  if (first.kind == Element::Kind::kSlot &&
      values_[static_cast<std::size_t>(first.slot)].text.empty())
    return false;
  rpnPending_ = true;
  op.Begin();
  bool results[64];
  std::size_t n = 0;
  for (const Program::Step& s : p.steps) {
    if (s.leaf) {
      results[n++] = op.CompareOperands(s.op, s.leftSlot < 0 ? s.left : SlotOperand(s.leftSlot),
                                        s.rightSlot < 0 ? s.right : SlotOperand(s.rightSlot));
    } else {
      const bool b = results[--n];
      const bool a = results[--n];
      results[n++] = op.Combine(s.op, a, b);
    }
  }
  op.Finish(results[0]);
  return true;
}

void cParse::RunRow(std::string_view line, std::span<const std::string_view> fields, bool split,
                    Notice notice, cOP& op) {
  rowCopy_.assign(line);
  rowApplied_ = true;
  rpnPending_ = false;
  const Program& p = program_;
  if (p.literalOnly) {
    RunLiteral(op, notice);
    return;
  }

  // the fields up to the highest column the filter names
  const std::string_view row = rowCopy_;
  std::size_t found = 0;
  if (!split) {
    // the reader's fields, moved onto the copy of the line
    found = std::min(fields.size(), static_cast<std::size_t>(p.maxColumn));
    if (fields_.size() < found) fields_.resize(found);
    for (std::size_t k = 0; k < found; ++k)
      fields_[k] =
          row.substr(static_cast<std::size_t>(fields[k].data() - line.data()), fields[k].size());
  } else if (!row.empty()) {
    // as many as the row has: a column number beyond it sizes nothing
    SplitTabViews(row, fields_, static_cast<std::size_t>(p.maxColumn));
    found = fields_.size();
  }

  std::size_t parens = p.baseParens;
  for (std::size_t i = 0; i < p.slots.size(); ++i) {
    const SlotInfo& s = p.slots[i];
    SlotValue& v = values_[i];
    if (static_cast<std::size_t>(s.column) <= found) {
      const std::string_view f = fields_[static_cast<std::size_t>(s.column) - 1];
      double number = 0;
      if (const std::size_t n = PlainAmount(f, v.plain, number)) {
        v.text = std::string_view(v.plain, n);
        v.written = f;
        v.op = RpnOp::kNone;
        v.num = 1;
        v.number = number;
        v.date = 0;
        continue;
      }
      const ValueScan scan = ScanValue(f);
      if (scan.amountChars && Normalise(f, v.rendered, number)) {
        v.text = v.rendered;
        v.written = f;
        v.op = RpnOp::kNone;
        v.num = 1;
        v.number = number;
        v.date = 0;  // the rendered digits with one point are never a date
      } else {
        // a value holding a code could be substituted again by a later column
        if (scan.dollar && HasDollarDigit(f)) {
          RunLiteral(op, notice);
          return;
        }
        parens += s.occurrences * scan.parens;
        SetText(v, f, scan);
      }
    } else {
      // the row has no such column: the code stays as written
      const std::string_view code = std::string_view(p.base).substr(s.codeBegin, s.codeLen);
      SetText(v, code, ScanValue(code));
    }
  }
  if (parens > kParenLimit) {
    RunLiteral(op, notice);
    return;
  }
  if (p.comparisons && RunComparisons(op)) return;

  const std::string_view base = p.base;
  auto pushText = [&op](std::string_view t) {
    const RpnOp o = RpnOperatorOf(t);
    if (o == RpnOp::kNone) {
      op.PushOperand(t);
    } else {
      op.Apply(o);
    }
  };
  // RPN() builds the substituted text from the row copy when it is read, even if the
  // evaluation below leaves with an arithmetic error
  rpnPending_ = true;
  op.Begin();
  for (const Element& e : p.elems) {
    switch (e.kind) {
      case Element::Kind::kOperator: op.Apply(e.op); break;
      case Element::Kind::kOperand: op.PushOperand(base.substr(e.begin, e.len), e.kinds); break;
      case Element::Kind::kSlot: {
        const SlotValue& v = values_[static_cast<std::size_t>(e.slot)];
        if (e.first && v.text.empty()) break;  // an empty first element is skipped
        if (v.op != RpnOp::kNone) {
          op.Apply(v.op);
        } else {
          op.PushOperand(v.text, v.num, v.number, v.date, 0, v.written);
        }
        break;
      }
      case Element::Kind::kMixed: {
        std::string& b = mixed_[e.buffer];
        b.clear();
        for (std::uint32_t k = 0; k < e.pieceCount; ++k) {
          const Piece& pc = p.pieces[e.firstPiece + k];
          if (pc.slot < 0) {
            b.append(base.substr(pc.begin, pc.len));
          } else {
            b.append(values_[static_cast<std::size_t>(pc.slot)].text);
          }
        }
        if (e.first && b.empty()) break;
        pushText(b);
        break;
      }
    }
  }
  op.End();
}

}  // namespace tarnwick
