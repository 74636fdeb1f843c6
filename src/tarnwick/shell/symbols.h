#pragma once
// cSym: a small table of text symbols written in angle brackets. A line "<name>=replacement"
// defines a symbol; any other line is translated by replacing the symbols it contains.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarnwick {

class cSym {
 public:
  static constexpr std::size_t kMaxSymbols = 99;
  static constexpr int kMaxPasses = 11;

  cSym() = default;

  // True when the last Text was a definition.
  bool DidTran() const { return didTran_; }
  // The last translated text (unchanged by a definition).
  const std::string& TranVal() const { return tranVal_; }
  // Defines a symbol or translates the text. Never throws on any text.
  void Text(std::string_view s);

 private:
  std::vector<std::pair<std::string, std::string>> symbols_;  // name, replacement; in order
  std::string text_;
  std::string tranVal_;
  bool didTran_ = false;
};

}  // namespace tarnwick
