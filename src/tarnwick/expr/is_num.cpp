#include "tarnwick/expr/is_num.h"

#include <string>

#include "tarnwick/core/numeric_text.h"
#include "tarnwick/core/text.h"

namespace tarnwick {

bool IsNUM(std::string_view text, double& value) {
  value = 0;
  const std::string_view t = TrimView(text);
  if (t.empty()) return false;
  // Amounts are short; a long text is cleaned on the heap rather than truncated.
  char local[64];
  std::string heap;
  char* out = local;
  if (t.size() > sizeof local) {
    heap.resize(t.size());
    out = heap.data();
  }
  std::size_t n = 0;
  for (const char c : t) {
    if (c == '"' || c == ')' || c == ',' || c == '$') continue;
    if (c == '(') {
      out[n++] = '-';
    } else if ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.') {
      out[n++] = c;
    } else {
      return false;
    }
  }
  const auto v = ParseNumber(std::string_view(out, n));
  if (!v) return false;
  value = *v;
  return true;
}

}  // namespace tarnwick
