#pragma once
// Letter case of UTF-8 text beyond ASCII: upper- and lower-casing, and comparison without
// regard to case, by Unicode's case mappings (ICU). Text that is pure ASCII takes the ASCII
// path of text.h without a call to ICU; bytes that are not well-formed UTF-8 (a single-byte
// code page) are kept as they are.

#include <string>
#include <string_view>

namespace tarnwick {

constexpr bool IsAscii(std::string_view s) {
  for (const char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

// Appends s upper-cased (lower-cased) to out.
void AppendUpper(std::string& out, std::string_view s);
void AppendLower(std::string& out, std::string_view s);
inline std::string UpperText(std::string_view s) {
  std::string r;
  AppendUpper(r, s);
  return r;
}

// Three-way comparison of the two texts upper-cased: byte order of the upper-cased UTF-8, which
// for ASCII is the order of the upper-cased characters.
int CompareNoCaseText(std::string_view a, std::string_view b);
inline bool EqualsNoCaseText(std::string_view a, std::string_view b) {
  return CompareNoCaseText(a, b) == 0;
}

}  // namespace tarnwick
