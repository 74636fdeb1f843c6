#include "tarnwick/data/row_filter.h"

#include "tarnwick/expr/parser.h"
#include "tarnwick/expr/rpn_evaluator.h"

namespace tarnwick {

struct RowFilter::Impl {
  cParse parser;
  cOP op;
};

RowFilter::RowFilter() : impl_(std::make_unique<Impl>()) {}
RowFilter::~RowFilter() = default;

RowFilter::Outcome RowFilter::Evaluate(const std::string& infix, std::string_view header,
                                       std::string_view row, std::string& ans) {
  return Run(infix, header, row, {}, true, ans);
}

RowFilter::Outcome RowFilter::Evaluate(const std::string& infix, std::string_view header,
                                       std::string_view row, std::span<const std::string_view> fields,
                                       std::string& ans) {
  return Run(infix, header, row, fields, false, ans);
}

RowFilter::Outcome RowFilter::Run(const std::string& infix, std::string_view header, std::string_view row,
                                  std::span<const std::string_view> fields, bool split, std::string& ans) {
  // Prepared once per filter text and header; each row is only substituted and evaluated.
  impl_->parser.Prepare(infix, header);
  ans.clear();
  if (impl_->parser.Err()) return Outcome::ParseError;
  const bool selected = split ? impl_->parser.SelectRow(row, impl_->op)
                              : impl_->parser.SelectFields(row, fields, impl_->op);
  if (impl_->op.Err()) return Outcome::EvalError;
  ans = impl_->op.ans();
  return selected ? Outcome::True : Outcome::False;
}

std::string RowFilter::RPN() const { return impl_->parser.RPN(); }

}  // namespace tarnwick
