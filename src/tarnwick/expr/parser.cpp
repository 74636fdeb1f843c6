#include "tarnwick/expr/parser.h"

#include <algorithm>
#include <cstring>

#include "tarnwick/core/arith.h"
#include "tarnwick/core/error.h"
#include "tarnwick/core/internal/unicode_case.h"
#include "tarnwick/core/numeric_text.h"
#include "tarnwick/core/report_text.h"
#include "tarnwick/core/text.h"
#include "tarnwick/platform/notice.h"

namespace tarnwick {

namespace {

constexpr int kMaxTokens = 51;
constexpr std::int16_t kOpStackSize = 99;
constexpr bool IsDigitChar(char c) { return c >= '0' && c <= '9'; }
constexpr bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
constexpr bool IsDateChar(char c) { return IsDigitChar(c) || c == '/' || c == '-'; }

std::size_t CountChar(std::string_view s, char c) {
  return static_cast<std::size_t>(std::count(s.begin(), s.end(), c));
}

// Length of a leading date: spaces, then a run of digits, "/" and "-" that reads as a date.
std::size_t DateLength(std::string_view s, DateOrder order) {
  if (s.size() < 6) return 0;
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  while (i < s.size() && IsDateChar(s[i])) ++i;
  return ParseDate(s.substr(0, i), order) ? i : 0;
}

const char* TypeName(int t) {
  static const char* const kNames[] = {"none",  "open",     "close",   "comma",
                                       "space", "operator", "operand", "end"};
  return kNames[t];
}

}  // namespace

cParse::cParse() : opStack_(kOpStackSize + 1) { init(); }

void cParse::init() {
  Materialise();
  Touch();
  text_.clear();
  infixCopy_.clear();
  errMsg_.clear();
}

// ---------------------------------------------------------------------------------------------
// Simple properties

void cParse::Headers(std::string_view line) {
  if (headerSet_ && line == header_) return;
  Touch();
  const std::size_t n = line.empty() ? 0 : CountChar(line, '\t') + 1;
  const std::int16_t cols = Narrow<std::int16_t>(static_cast<std::int64_t>(n) - 1);
  header_.assign(line);
  headerFields_.clear();
  if (n > 0) {
    std::size_t pos = 0;
    for (;;) {
      const std::size_t tab = header_.find('\t', pos);
      headerFields_.emplace_back(header_, pos,
                                 tab == std::string::npos ? std::string::npos : tab - pos);
      if (tab == std::string::npos) break;
      pos = tab + 1;
    }
  }
  cols_ = cols;
  headerSet_ = true;
}

void cParse::ThisRow(std::string_view row) { row_.assign(row); }

void cParse::DestCol(std::string_view name) { destCol_.assign(name); }

std::int16_t cParse::getcol() const {
  std::int16_t found = -1;
  for (std::size_t k = 0; k < headerFields_.size(); ++k)
    if (EqualsNoCaseText(headerFields_[k], destCol_)) found = static_cast<std::int16_t>(k);
  return found;
}

void cParse::Infix(std::string_view text) {
  Materialise();
  Touch();
  text_.assign(text);
  infixCopy_.assign(text);
  errMsg_.clear();
  // Double quotes and parentheses count everywhere but inside a text constant in single
  // quotes, which must be closed too ('' inside it is one quote).
  std::size_t quotes = 0, open = 0, close = 0;
  bool single = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (single) {
      if (c == '\'') {
        if (i + 1 < text.size() && text[i + 1] == '\'') {
          ++i;
        } else {
          single = false;
        }
      }
      continue;
    }
    if (c == '"') {
      ++quotes;
    } else if (c == '(') {
      ++open;
    } else if (c == ')') {
      ++close;
    } else if (c == '\'' && quotes % 2 == 0) {
      single = true;
    }
  }
  if (quotes % 2 != 0 || single) errMsg_ = "Unbalanced quotes";
  if (open != close) errMsg_ = "Unbalanced parentheses";
}

void cParse::RPN(std::string_view text) {
  Materialise();
  Touch();
  const std::string_view t = TrimView(text);
  if (t.empty()) {
    errMsg_ = "(Empty Input)";
    return;
  }
  rpn_.assign(t);
}

const std::string& cParse::RPN() {
  Materialise();
  return rpn_;
}

bool cParse::isdigit(std::string_view sChar) const {
  return sChar.size() == 1 && IsDateChar(sChar[0]);
}

std::int16_t cParse::isValDate(std::string_view sText) const {
  const std::size_t n = DateLength(sText, order_);
  if (n == 0) return -1;
  return Narrow<std::int16_t>(static_cast<std::int64_t>(n));
}

bool cParse::isOP(std::string_view sText) const {
  const std::string_view t = TrimView(sText);
  if (t.empty() || t.size() > 5) return false;
  const std::string u = UCase(t);
  static constexpr std::string_view kOps[] = {
      "+",   "-",   "/",   "*",     "%",     "<",    ">",     "<=", ">=",  "<>",
      "=",   "ABS", "AND", "HO",    "LCASE", "LEFT", "LN",    "LD", "LOG", "MIN",
      "MAX", "OR",  "QTR", "RIGHT", "SQR",   "TRIM", "UCASE", "WE", "WD"};
  for (const std::string_view op : kOps)
    if (u == op) return true;
  return false;
}

int cParse::Prec(std::string_view word) {
  const std::string_view t = TrimView(word);
  if (t.empty() || t.size() > 5) return 0;
  const std::string u = UCase(t);
  static constexpr std::string_view kFunctions[] = {"ABS", "HO",    "LCASE", "LEFT", "LN",
                                                    "LOG", "MAX",   "MIN",   "QTR",  "RIGHT",
                                                    "SQR", "UCASE", "WD",    "WE"};
  for (const std::string_view f : kFunctions)
    if (u == f) return 4;
  if (u == "*" || u == "/" || u == "%") return 5;
  if (u == "+" || u == "-") return 6;
  if (u == "<" || u == "<=" || u == ">" || u == ">=") return 7;
  if (u == "=" || u == "<>") return 8;
  if (u == "AND" || u == "OR") return 9;
  return 0;
}

std::string cParse::GetName(std::string_view s) const {
  if (s.empty()) return std::string();
  std::size_t i = 0;
  bool quoted = false;
  while (i < s.size()) {
    const char c = s[i];
    if (quoted) {
      if (c == '"') quoted = false;
    } else if (c == '"') {
      quoted = true;
    } else if (!(IsLetter(c) || IsDigitChar(c) || c == '_' || c == '$' ||
                 static_cast<unsigned char>(c) >= 0x80)) {  // letters beyond ASCII (UTF-8)
      break;
    }
    ++i;
  }
  // a character that cannot start a name is a token of its own, so the scan always advances
  return std::string(s.substr(0, i == 0 ? 1 : i));
}

void cParse::testname() { (void)GetName("$1+(5-5"); }

// ---------------------------------------------------------------------------------------------
// Conversion to RPN

std::string cParse::NextToken(TokType previous) {
  if (text_.empty()) return std::string();
  const char c = text_[0];
  std::string token;
  auto takeTrimmed = [&](std::size_t n) {
    token.assign(text_, 0, n);
    text_ = Trim(std::string_view(text_).substr(n));
  };
  // 1. a signed number where an operand is expected
  if ((c == '-' || c == '+') && previous != TokType::kClose && previous != TokType::kOperand &&
      previous != TokType::kComma) {
    std::size_t n = 1;
    while (n < text_.size() &&
           (IsDigitChar(text_[n]) || text_[n] == '+' || text_[n] == '-' || text_[n] == '.'))
      ++n;
    takeTrimmed(n);
    return token;
  }
  // a text constant in single quotes, to its closing quote ('' inside is one quote)
  if (c == '\'') {
    std::size_t n = 1;
    while (n < text_.size()) {
      if (text_[n] == '\'') {
        if (n + 1 < text_.size() && text_[n + 1] == '\'') {
          n += 2;
          continue;
        }
        ++n;
        break;
      }
      ++n;
    }
    takeTrimmed(n);
    return token;
  }
  // 2-4. single-character and two-character operators and punctuation
  if (std::strchr("()+-*/%,", c) != nullptr) {
    takeTrimmed(1);
    return token;
  }
  if (text_.size() >= 2) {
    const std::string_view two(text_.data(), 2);
    if (two == "<=" || two == ">=" || two == "<>") {
      takeTrimmed(2);
      return token;
    }
  }
  if (c == '<' || c == '>' || c == '=') {
    takeTrimmed(1);
    return token;
  }
  // 5. a date; the spaces after it come back as a space token
  if (const std::size_t n = DateLength(text_, order_); n >= 6) {
    token = Trim(std::string_view(text_).substr(0, n));
    text_.erase(0, n);
    return token;
  }
  // 6. a number
  if (IsDigitChar(c) || c == '.') {
    std::size_t n = 1;
    while (n < text_.size() && (IsDigitChar(text_[n]) || text_[n] == '-' || text_[n] == '.')) ++n;
    token.assign(text_, 0, n);
    text_.erase(0, n);
    return token;
  }
  // 7. a name
  token = GetName(text_);
  text_ = Trim(std::string_view(text_).substr(token.size()));
  return token;
}

cParse::TokType cParse::Classify(const std::string& token) const {
  if (token == " ") return TokType::kSpace;
  if (token == "(") return TokType::kOpen;
  if (token == ")") return TokType::kClose;
  if (token == ",") return TokType::kComma;
  if (isOP(token)) return TokType::kOperator;
  if (token.empty()) return TokType::kEnd;
  return TokType::kOperand;
}

void cParse::Emit(std::string_view token) {
  const std::string_view t = TrimView(token);
  if (t.empty() || t == "(") return;
  rpn_ += '\t';
  if (IsTextConstant(t)) {
    rpn_.append(t);  // as written
  } else {
    AppendUpper(rpn_, t);
  }
}

void cParse::PushOp(const std::string& op) {
  // a full stack overwrites its top entry
  if (opCount_ < kOpStackSize) ++opCount_;
  opStack_[static_cast<std::size_t>(opCount_)] = op;
}

std::string cParse::PopOp() {
  if (opCount_ == 0) return std::string();
  return opStack_[static_cast<std::size_t>(opCount_--)];
}

std::string cParse::parse() {
  Materialise();
  Touch();
  deb_.clear();
  if (text_.empty()) {
    errMsg_ = "No input to parse";
    return std::string();
  }
  if (!errMsg_.empty()) return std::string();
  if (parseMemo_ && text_ == parseIn_) {
    rpn_ = parseRpn_;
    deb_ = parseDeb_;
    text_ = parseRest_;
    errMsg_ = parseErr_;
    return errMsg_.empty() ? rpn_ : std::string();
  }
  parseIn_ = text_;

  opCount_ = 0;
  rpn_.clear();
  int balance = 0;
  TokType previous = TokType::kNone;
  for (int i = 0; i < kMaxTokens; ++i) {
    const std::string token = NextToken(previous);
    const TokType type = Classify(token);
    deb_ += "Token: ";
    deb_ += token;
    deb_ += "\tType: ";
    deb_ += TypeName(static_cast<int>(type));
    deb_ += "\tPrec: ";
    deb_ += std::to_string(Prec(token));
    deb_ += kCrLf;
    switch (type) {
      case TokType::kOpen:
        PushOp(token);
        ++balance;
        break;
      case TokType::kClose:
        --balance;
        while (opCount_ > 0) {
          const std::string top = PopOp();
          if (top == "(") break;
          Emit(top);
        }
        break;
      case TokType::kOperator: {
        // equal precedence is not popped: a chain of equal operators groups from the right
        const int p = Prec(token);
        while (opCount_ > 0 && opStack_[static_cast<std::size_t>(opCount_)] != "(" &&
               Prec(opStack_[static_cast<std::size_t>(opCount_)]) < p)
          Emit(PopOp());
        PushOp(token);
        break;
      }
      case TokType::kOperand: Emit(token); break;
      default: break;
    }
    previous = type;
    if (type == TokType::kEnd) break;
  }

  if (balance < 0) {
    errMsg_ = "Unbalanced parens - too many )";
  } else if (balance > 0) {
    errMsg_ = "Unbalanced parens - too many (";
  } else {
    while (opCount_ > 0) {
      const std::string top = PopOp();
      if (top == "(") {
        errMsg_ = "Unbalanced parens";
        break;
      }
      Emit(top);
    }
  }
  parseMemo_ = true;
  parseRpn_ = rpn_;
  parseDeb_ = deb_;
  parseRest_ = text_;
  parseErr_ = errMsg_;
  return errMsg_.empty() ? rpn_ : std::string();
}

// ---------------------------------------------------------------------------------------------
// Column names and row values

void cParse::ReplaceColnames() {
  Materialise();
  Touch();
  if (replaceMemo_ && rpn_ == replaceIn_ && header_ == replaceHeader_) {
    rpn_ = replaceOut_;
    return;
  }
  replaceIn_ = rpn_;
  replaceHeader_ = header_;

  std::vector<std::string> elems;
  std::size_t pos = 0;
  if (!rpn_.empty()) {
    for (;;) {
      const std::size_t tab = rpn_.find('\t', pos);
      elems.emplace_back(rpn_, pos, tab == std::string::npos ? std::string::npos : tab - pos);
      if (tab == std::string::npos) break;
      pos = tab + 1;
    }
  }
  bool changed = false;
  for (std::string& el : elems) {
    if (el.empty() || el[0] != '$') continue;
    std::string name = el.substr(1);
    if (name.size() >= 2 && name[0] == '"') {
      if (name.size() >= 2 && name.compare(name.size() - 2, 2, "\")") == 0) name.pop_back();
      if (name.back() == '"')
        name = name.size() >= 2 ? name.substr(1, name.size() - 2) : std::string();
    }
    for (std::size_t k = 0; k < headerFields_.size(); ++k) {
      if (EqualsNoCaseText(name, headerFields_[k])) {
        el.assign(1, '$');
        el += std::to_string(k + 1);
        changed = true;
      }
    }
  }
  if (changed) {
    rpn_.clear();
    for (std::size_t i = 0; i < elems.size(); ++i) {
      if (i > 0) rpn_ += '\t';
      rpn_ += elems[i];
    }
  }
  replaceMemo_ = true;
  replaceOut_ = rpn_;
}

namespace {

// Whether position p of an RPN text lies inside an element that is a text constant.
bool InTextConstant(std::string_view rpn, std::size_t p) {
  const std::size_t tab = rpn.rfind('\t', p);
  const std::size_t begin = tab == std::string_view::npos ? 0 : tab + 1;
  const std::size_t end = std::min(rpn.find('\t', p), rpn.size());
  return IsTextConstant(rpn.substr(begin, end - begin));
}

}  // namespace

void cParse::SubTextImpl(std::string_view code, std::string_view value, Notice notice) {
  std::string rendered;
  double number = 0;
  if (Normalise(value, rendered, number)) value = rendered;
  if (notice != Notice::kNever && !(notice == Notice::kOnce && parenNoticeShown_) &&
      CountChar(rpn_, '(') > kParenLimit) {
    if (notice == Notice::kOnce) parenNoticeShown_ = true;
    Notify("Too many parens");
  }
  if (code.empty()) return;
  std::size_t p = rpn_.find(code);
  if (p == std::string::npos) return;
  std::string out;
  out.reserve(rpn_.size() + value.size());
  std::size_t from = 0;
  while (p != std::string::npos) {
    const std::size_t after = p + code.size();
    if ((after < rpn_.size() && IsDigitChar(rpn_[after])) || InTextConstant(rpn_, p)) {
      p = rpn_.find(code, p + 1);
      continue;
    }
    out.append(rpn_, from, p - from);
    out.append(value);
    from = after;
    p = rpn_.find(code, after);
  }
  out.append(rpn_, from, std::string::npos);
  rpn_.swap(out);
}

void cParse::subtext(std::string_view incode, std::string_view inval) {
  Materialise();
  Touch();
  SubTextImpl(incode, inval, Notice::kAlways);
}

void cParse::SubRowImpl(std::string_view row, Notice notice) {
  if (row.empty()) return;
  std::size_t pos = 0;
  std::size_t column = 1;
  std::string code;
  for (;;) {
    const std::size_t tab = row.find('\t', pos);
    const std::string_view field =
        row.substr(pos, tab == std::string_view::npos ? std::string_view::npos : tab - pos);
    code.assign(1, '$');
    code += std::to_string(column);
    SubTextImpl(code, field, notice);
    if (tab == std::string_view::npos) break;
    pos = tab + 1;
    ++column;
  }
}

void cParse::SubRow(std::string_view sInRow) {
  Materialise();
  Touch();
  SubRowImpl(sInRow, Notice::kAlways);
}

bool cParse::IsSelected() {
  Materialise();
  Touch();
  ans_.clear();
  if (Err()) return false;
  ReplaceColnames();
  if (!program_.valid || program_.base != rpn_) {
    Compile(rpn_);
    programPrepared_ = false;
  }
  try {
    RunRow(row_, {}, true, Notice::kAlways, ownOp_);
  } catch (const EngineError&) {
    ownOp_.Abandon();
  }
  ans_ = ownOp_.ans();
  return !ownOp_.AnyErr() && ans_ == "TRUE";
}

void cParse::SetDateOrder(DateOrder order) {
  if (order == order_) return;
  order_ = order;
  ownOp_.SetDateOrder(order);
  // what was converted in the other order is converted again
  parseMemo_ = false;
  replaceMemo_ = false;
  prepared_ = false;
  programPrepared_ = false;
}

}  // namespace tarnwick
