#pragma once
// The readers' row filter: an infix expression over the header's column names, prepared once
// per filter text and header line, then evaluated for each row by the expression parser and
// RPN evaluator the filter owns.

#include <memory>
#include <string>
#include <string_view>

namespace tarnwick {

class RowFilter {
 public:
  RowFilter();
  ~RowFilter();
  RowFilter(const RowFilter&) = delete;
  RowFilter& operator=(const RowFilter&) = delete;

  enum class Outcome { ParseError, EvalError, False, True };
  // Evaluates the filter on one row. `ans` receives the evaluator's answer, "" when the filter
  // does not parse or its evaluation fails. `header` and `row` are TAB-separated; the filter
  // is prepared again only when the filter text or the header changes.
  Outcome Evaluate(const std::string& infix, std::string_view header, std::string_view row,
                   std::string& ans);
  // The parser's RPN text: after a row, with the column names replaced and the row's values
  // substituted.
  std::string RPN() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tarnwick
