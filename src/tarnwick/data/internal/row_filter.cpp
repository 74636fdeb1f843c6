#include "tarnwick/data/internal/row_filter.h"

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
  return Run(infix, header, row, {}, true, false, ans);
}

RowFilter::Outcome RowFilter::Evaluate(const std::string& infix, std::string_view header,
                                       std::string_view row,
                                       std::span<const std::string_view> fields, std::string& ans,
                                       bool same) {
  return Run(infix, header, row, fields, false, same, ans);
}

RowFilter::Outcome RowFilter::Run(const std::string& infix, std::string_view header,
                                  std::string_view row, std::span<const std::string_view> fields,
                                  bool split, bool same, std::string& ans) {
  // Prepared once per filter text and header; each row is only substituted and evaluated.
  // Nothing but this class reaches the parser, so unchanged texts leave it prepared.
  if (!same || !prepared_) impl_->parser.Prepare(infix, header);
  prepared_ = true;
  ans.clear();
  if (impl_->parser.Err()) return Outcome::ParseError;
  const bool selected = split ? impl_->parser.SelectRow(row, impl_->op)
                              : impl_->parser.SelectFields(row, fields, impl_->op);
  // a failed operation anywhere in the expression, not only the last one
  if (impl_->op.AnyErr()) return Outcome::EvalError;
  ans = impl_->op.ans();
  return selected ? Outcome::True : Outcome::False;
}

std::string RowFilter::RPN() const { return impl_->parser.RPN(); }

}  // namespace tarnwick
