#pragma once
// The readers' row filter: an infix expression over the header's column names, prepared once
// per filter text and header line, then evaluated for each row by the expression parser and
// RPN evaluator the filter owns.

#include <memory>
#include <span>
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
  // The same for a row the reader has already split: `fields` are `row` split at every TAB,
  // as views into it. `same` tells that `infix` and `header` hold the texts of the previous
  // call, so the filter is not even compared with the prepared one.
  Outcome Evaluate(const std::string& infix, std::string_view header, std::string_view row,
                   std::span<const std::string_view> fields, std::string& ans, bool same = false);
  // The parser's RPN text: after a row, with the column names replaced and the row's values
  // substituted.
  std::string RPN() const;

 private:
  Outcome Run(const std::string& infix, std::string_view header, std::string_view row,
              std::span<const std::string_view> fields, bool split, bool same, std::string& ans);
  struct Impl;
  std::unique_ptr<Impl> impl_;
  bool prepared_ = false;
};

}  // namespace tarnwick
