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
  // Prepared once per filter text and header; each row is only substituted and evaluated.
  impl_->parser.Prepare(infix, header);
  ans.clear();
  if (impl_->parser.Err()) return Outcome::ParseError;
  const bool selected = impl_->parser.SelectRow(row, impl_->op);
  if (impl_->op.Err()) return Outcome::EvalError;
  ans = impl_->op.ans();
  return selected ? Outcome::True : Outcome::False;
}

std::string RowFilter::RPN() const { return impl_->parser.RPN(); }

}  // namespace tarnwick
