#include "tarnwick/shell/symbols.h"

#include "tarnwick/core/text.h"

namespace tarnwick {

void cSym::Text(std::string_view s) {
  text_ = TrimView(s);
  didTran_ = false;

  const std::size_t gt = text_.find('>');
  const std::size_t eq = text_.find('=');
  if (!text_.empty() && text_.front() == '<' && gt != std::string::npos &&
      eq != std::string::npos && eq >= gt) {
    didTran_ = true;
    if (symbols_.size() >= kMaxSymbols) return;  // a full table ignores new definitions
    std::string name = text_.substr(0, eq);
    std::string replacement = text_.substr(eq + 1);
    for (auto& symbol : symbols_) {
      if (symbol.first == name) {
        symbol.second = std::move(replacement);
        return;
      }
    }
    symbols_.emplace_back(std::move(name), std::move(replacement));
    return;
  }

  tranVal_ = text_;
  if (tranVal_.size() <= 1) return;
  // The pass limit ends a symbol whose replacement contains its own name.
  for (int pass = 0; pass < kMaxPasses; ++pass) {
    bool replaced = false;
    for (const auto& [name, replacement] : symbols_) {
      const std::size_t at = tranVal_.find(name);
      if (at == std::string::npos) continue;
      tranVal_.replace(at, name.size(), replacement);
      replaced = true;
    }
    if (!replaced) break;
  }
}

}  // namespace tarnwick
