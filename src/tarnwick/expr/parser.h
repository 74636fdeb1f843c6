#pragma once
// cParse: turns a row filter written in infix over the columns of a tab-delimited file into
// reverse Polish notation (RPN), substitutes a row's values for the column references and asks
// an evaluator (cOP) whether the row is selected.
//
// The RPN text is a TAB before every token ("\t$3\t100\t>"), each token trimmed and
// upper-cased. Column references are written "$Name", "$\"Name with spaces\"" or "$n"
// (1-based); ReplaceColnames turns names into "$n" codes and SubRow puts field n-1 of a row in
// place of each code. Numeric field values are normalised first (see subtext).
//
// Error messages (ErrMsg; Err is True when it is not empty): "Unbalanced quotes",
// "Unbalanced parentheses" (Infix), "No input to parse", "Unbalanced parens - too many )",
// "Unbalanced parens - too many (", "Unbalanced parens" (parse), "(Empty Input)" (RPN write).
// While an RPN with more than ten "(" characters receives a value, each subtext call shows the
// notice "Too many parens" and goes on.
//
// ---------------------------------------------------------------------------------------------
// Prepared filters (for the file readers)
//
// Substitution writes the row's values into the RPN, so the plain calling order parses the
// filter again for every row:
//     Infix(filter); Headers(headerLine); parse();
//     if (!Err()) { ReplaceColnames(); SubRow(line); op.EvalRPN(RPN()); }
// Prepare and SelectRow give exactly the same observable results (RPN text after the row, the
// parser's ErrMsg / Infix / Deb / cols, the evaluator's ans, Err, rType, dResult, bresult,
// sResult and Deb; the "Too many parens" notice once rather than per value, see below) while
// tokenizing and converting the filter only once per (filter, header line):
//
//     cParse parser;  cOP op;
//     parser.Prepare(filter, headerLine);        // once, or before every row: it is cached
//     for each line:
//       bool selected = parser.SelectRow(line, op);
//       // reader's ans: (parser.Err() || op.Err()) ? "" : op.ans()
//
// Prepare(filter, headerLine) is Infix + Headers + parse + (when parse succeeded)
// ReplaceColnames. It returns !Err(). Calling it again with the same two texts costs two text
// comparisons; with different texts it prepares anew.
//
// SelectRow(line, op) is, on the state Prepare left: SubRow(line) then op.EvalRPN(RPN()). It
// returns true exactly when the filter parsed, no operation of the evaluation failed
// (op.AnyErr() is False: "$Amount / 0 < 1" selects nothing) and op.ans() is "TRUE". An
// arithmetic error of the evaluation (a number beyond the range, LN or SQR outside their
// domain) does not leave SelectRow: the evaluation is abandoned (op.Abandon(): AnyErr, answer
// "#ERR") and the row is not selected. When the filter did not parse it returns false and
// leaves op untouched.
// If the parser was changed through its other members since Prepare, SelectRow first restores
// the prepared state, so it can be called for row after row without calling Prepare again.
// The line is copied into the parser (no allocation once the copy buffer has grown); the views
// into it stay private.
//
// SelectFields(line, fields, op) is SelectRow for a reader that has already split the line:
// `fields` must be the line split at every TAB (views into `line`, none for an empty line).
// The parser then does not split the line again.
//
// "Too many parens": the plain members (subtext, SubRow, IsSelected) show the notice for every
// value substituted into an RPN with more than ten "(", as documented above. A prepared filter
// shows it once, on the first row that would show it, until a different filter or header is
// prepared: a large file would otherwise repeat it for every field of every row. Reading RPN()
// afterwards builds the substituted text on demand (which is why RPN() is not a const member: a
// holder that shows it from a const method keeps its parser mutable). SelectRow before any Prepare
// acts as after Prepare("", ""): the parser reports "No input to parse" and no row is selected.
// IsSelected selects by the same rule. EvalRPN itself still raises its arithmetic errors.
//
// Text constants in single quotes ('000496', 'Acme, Inc.', '' for a quote inside) reach the
// RPN exactly as written, quotes included, and hold no column code; the evaluator compares
// them exactly with the other operand as the row wrote it. This is the one place where a
// prepared filter and the plain calling order differ: a prepared filter hands the evaluator a
// value rendered as a number (000496 as "496.") together with its text in the row, while the
// plain text substitution keeps only the rendering, from which the evaluator can drop no more
// than the point added to a whole number (rows taking the literal path, below, do the same).
// Tokens are upper-cased by Unicode's case mapping (letters beyond ASCII too).
//
// Per row the work is: split the line up to the highest column the filter uses (unless the
// reader handed its fields over), normalise the values of the columns it uses (a plain decimal
// is rendered straight from its digits; one scan of any other value rules out the number and
// date tests its characters cannot pass), and evaluate the compiled RPN on the evaluator's
// stack, with the constants' number and date tests done once. A filter made only of
// comparisons of two operands joined by AND / OR is evaluated comparison by comparison without
// the text stack, for every row whose values keep that shape (none reads as an operator or is
// "#ERR"). Rows whose values could change the result of the plain text substitution in unusual
// ways (a value holding "$" and a digit, more than ten "(" in the RPN) take the literal path,
// which gives the same answer.
// ---------------------------------------------------------------------------------------------

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tarnwick/expr/rpn_evaluator.h"

namespace tarnwick {

class cParse {
 public:
  cParse();

  std::string Name() const { return std::string(); }
  // Trace of the last parse: one line per token with its type and precedence.
  const std::string& Deb() const { return deb_; }
  // The evaluator's answer of the last IsSelected; "" before.
  const std::string& ans() const { return ans_; }
  // Evaluates the current RPN on the current row (ThisRow) with a fresh evaluator.
  bool IsSelected();
  std::int16_t cols() const { return cols_; }
  // 0-based index of the (last) header field equal to DestCol, upper-cased; -1 when none.
  std::int16_t getcol() const;
  void Headers(std::string_view line);
  void ThisRow(std::string_view row);
  void DestCol(std::string_view name);
  double Result() const { return -1; }
  void Infix(std::string_view text);
  // The expression text not yet consumed by parse.
  const std::string& Infix() const { return text_; }
  // Stores the RPN trimmed of spaces; an empty text sets "(Empty Input)" and keeps the RPN.
  void RPN(std::string_view text);
  const std::string& RPN();
  bool Err() const { return !errMsg_.empty(); }
  const std::string& ErrMsg() const { return errMsg_; }
  void init();
  // Converts the expression to RPN; returns the RPN text, or "" on an error.
  std::string parse();
  bool isOP(std::string_view sText) const;
  void testname();
  // The name token at the front of the text (letters, also beyond ASCII, digits, "_", "$",
  // quoted parts).
  std::string GetName(std::string_view sText) const;
  void SubRow(std::string_view sInRow);
  void subtext(std::string_view incode, std::string_view inval);
  void ReplaceColnames();
  // Length of a leading month/day/year date (spaces before it included), or -1; a length
  // beyond the 16-bit result is the overflow error.
  std::int16_t isValDate(std::string_view sText) const;
  bool isdigit(std::string_view sChar) const;

  // Prepared filters: see the header comment.
  bool Prepare(std::string_view filter, std::string_view headerLine);
  bool SelectRow(std::string_view line, cOP& op);
  bool SelectFields(std::string_view line, std::span<const std::string_view> fields, cOP& op);

  // The order in which the filter's date constants are written (month/day/year unless set):
  // a constant such as 31/12/2023 is one date token only in the order that reads it. Set it
  // before Prepare, and give the evaluator the same order (cOP::SetDateOrder).
  void SetDateOrder(DateOrder order);

 private:
  enum class TokType : std::uint8_t {
    kNone,
    kOpen,
    kClose,
    kComma,
    kSpace,
    kOperator,
    kOperand,
    kEnd
  };
  // More "(" than this in the RPN: substitution shows "Too many parens".
  static constexpr std::size_t kParenLimit = 10;

  // A compiled RPN: its elements classified once, column codes as slots.
  struct Piece {
    std::uint32_t begin = 0, len = 0;  // literal text within base
    std::int32_t slot = -1;            // index into slots, or -1 for the literal text
  };
  struct Element {
    enum class Kind : std::uint8_t { kOperator, kOperand, kSlot, kMixed };
    Kind kind = Kind::kOperand;
    bool first = false;  // the first element of the text: skipped when it comes out empty
    RpnOp op = RpnOp::kNone;
    std::uint32_t begin = 0, len = 0;  // operand text within base
    RpnOperandKinds kinds;
    std::int32_t slot = -1;                                    // kSlot: index into slots
    std::uint32_t firstPiece = 0, pieceCount = 0, buffer = 0;  // kMixed
  };
  struct SlotInfo {
    std::int32_t column = 0;                   // 1-based column of the code
    std::uint32_t occurrences = 0;             // how often the code appears in the RPN
    std::uint32_t codeBegin = 0, codeLen = 0;  // the code text "$n" within base
  };
  struct Program {
    bool valid = false;
    bool literalOnly = false;  // substitution order could matter: always the literal path
    std::string base;
    std::vector<Element> elems;
    std::vector<Piece> pieces;
    std::vector<SlotInfo> slots;
    std::int32_t maxColumn = 0;
    std::size_t baseParens = 0;
    // Comparisons of two operands joined by AND / OR, in RPN order, when the whole filter is
    // made of them; a row whose values keep that shape is evaluated by these steps.
    struct Step {
      bool leaf = true;  // a comparison of two operands; else AND / OR of the last two results
      RpnOp op = RpnOp::kNone;
      // leaf operands: a slot, or (slot -1) a constant classified once
      std::int32_t leftSlot = -1, rightSlot = -1;
      cOP::Operand left, right;
    };
    std::vector<Step> steps;
    bool comparisons = false;
  };
  struct SlotValue {
    std::string_view text;
    std::string_view written;  // the row's text of a value rendered as a number
    RpnOp op = RpnOp::kNone;   // the value reads as an operator
    // what the value's unquoted text is: -1 not yet tested, 0 no, 1 yes
    std::int8_t num = -1, date = -1;
    double number = 0;
    char plain[24];  // a plain decimal's rendering
    std::string rendered;
  };

  std::string NextToken(TokType previous);
  TokType Classify(const std::string& token) const;
  void Emit(std::string_view token);
  void PushOp(const std::string& op);
  std::string PopOp();
  static int Prec(std::string_view word);
  struct ValueScan {
    bool amountChars = false, numberChars = false, dateChars = false, dollar = false;
    std::size_t parens = 0;
  };
  static ValueScan ScanValue(std::string_view f);
  static void SetText(SlotValue& v, std::string_view text, const ValueScan& scan);
  void Materialise();
  // When substitution shows "Too many parens": never (building RPN() on demand), for every
  // value (the plain members), or once per prepared filter.
  enum class Notice : std::uint8_t { kNever, kAlways, kOnce };
  void SubRowImpl(std::string_view row, Notice notice);
  void SubTextImpl(std::string_view code, std::string_view value, Notice notice);
  // A numeric value rendered as the substitution writes it, and the number that text reads as.
  static bool Normalise(std::string_view value, std::string& out, double& number);
  void Compile(const std::string& base);
  bool Select(std::string_view line, std::span<const std::string_view> fields, bool split, cOP& op);
  // `fields`, when not split here, are the line's TAB-separated fields as views into `line`.
  void RunRow(std::string_view line, std::span<const std::string_view> fields, bool split,
              Notice notice, cOP& op);
  void RunLiteral(cOP& op, Notice notice);
  void FindComparisons(Program& p) const;
  bool RunComparisons(cOP& op);
  cOP::Operand SlotOperand(std::int32_t slot) const;
  void RestorePrepared();
  void Touch() { dirty_ = true; }

  std::string text_;       // remaining expression text
  std::string infixCopy_;  // the expression as set
  std::string errMsg_;
  std::string rpn_;
  std::vector<std::string> opStack_;
  std::int16_t opCount_ = 0;
  std::string header_;
  std::vector<std::string> headerFields_;
  bool headerSet_ = false;
  std::int16_t cols_ = 0;
  std::string row_;
  std::string destCol_;
  std::string ans_;
  std::string deb_;

  // parse and ReplaceColnames are remembered for the last input they converted
  bool parseMemo_ = false;
  std::string parseIn_, parseRpn_, parseDeb_, parseRest_, parseErr_;
  bool replaceMemo_ = false;
  std::string replaceIn_, replaceHeader_, replaceOut_;

  // prepared state
  bool prepared_ = false;
  bool dirty_ = true;
  std::string prepFilter_, prepHeader_;
  std::string prepRest_, prepErr_, prepDeb_, prepRpn_, prepInfixCopy_;
  Program program_;
  bool programPrepared_ = false;   // program_ is the prepared filter's
  bool rowApplied_ = false;        // a row was substituted since Prepare
  bool parenNoticeShown_ = false;  // the prepared filter has shown "Too many parens"

  // the row whose substitution RPN() builds on demand
  bool rpnPending_ = false;
  std::string rowCopy_;
  std::vector<std::string_view> fields_;
  std::vector<SlotValue> values_;
  std::vector<std::string> mixed_;
  cOP ownOp_;  // IsSelected's evaluator, reset by every evaluation
  DateOrder order_ = DateOrder::kMdy;
};

}  // namespace tarnwick
