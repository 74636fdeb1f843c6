#include "tarnwick/data/row_filter.h"

// placeholder until the expression classes are merged
namespace tarnwick {
struct RowFilter::Impl {};
RowFilter::RowFilter() : impl_(std::make_unique<Impl>()) {}
RowFilter::~RowFilter() = default;
RowFilter::Outcome RowFilter::Evaluate(const std::string&, std::string_view, std::string_view,
                                       std::string& ans) {
  ans.clear();
  return Outcome::ParseError;
}
std::string RowFilter::RPN() const { return {}; }
}  // namespace tarnwick
