#pragma once
// Text helpers with the host's semantics: trimming removes spaces only (never tabs),
// casing maps the ASCII letters only.

#include <string>
#include <string_view>

namespace tarnwick {

constexpr std::string_view LTrimView(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  return s.substr(i);
}
constexpr std::string_view RTrimView(std::string_view s) {
  std::size_t n = s.size();
  while (n > 0 && s[n - 1] == ' ') --n;
  return s.substr(0, n);
}
constexpr std::string_view TrimView(std::string_view s) { return RTrimView(LTrimView(s)); }

inline std::string Trim(std::string_view s) { return std::string(TrimView(s)); }
inline std::string LTrim(std::string_view s) { return std::string(LTrimView(s)); }
inline std::string RTrim(std::string_view s) { return std::string(RTrimView(s)); }

constexpr char UpperChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
constexpr char LowerChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

inline std::string UCase(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = UpperChar(c);
  return r;
}
inline std::string LCase(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = LowerChar(c);
  return r;
}
// Case-insensitive (ASCII) equality, for names the host compares without case.
constexpr bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (UpperChar(a[i]) != UpperChar(b[i])) return false;
  return true;
}

}  // namespace tarnwick
