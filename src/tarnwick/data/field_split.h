#pragma once
// Splitting a line into fields without allocating per line: the fields are kept as spans of
// the line, in a vector whose capacity is reused from row to row.

#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace tarnwick {

struct FieldSpan {
  std::uint32_t from = 0;
  std::uint32_t len = 0;
  std::string_view in(std::string_view line) const { return line.substr(from, len); }
};

// Splits at every TAB; an empty line has no fields, a line with n TABs has n + 1.
inline void SplitTabSpans(std::string_view line, std::vector<FieldSpan>& out) {
  out.clear();
  if (line.empty()) return;
  const char* base = line.data();
  const char* p = base;
  const char* end = base + line.size();
  for (;;) {
    const void* tab = std::memchr(p, '\t', static_cast<std::size_t>(end - p));
    const char* stop = tab != nullptr ? static_cast<const char*>(tab) : end;
    out.push_back({static_cast<std::uint32_t>(p - base), static_cast<std::uint32_t>(stop - p)});
    if (tab == nullptr) return;
    p = stop + 1;
  }
}

// The same split as views into the line (valid while the line is unchanged).
inline void SplitTabViews(std::string_view line, std::vector<std::string_view>& out) {
  out.clear();
  if (line.empty()) return;
  const char* p = line.data();
  const char* end = p + line.size();
  for (;;) {
    const void* tab = std::memchr(p, '\t', static_cast<std::size_t>(end - p));
    const char* stop = tab != nullptr ? static_cast<const char*>(tab) : end;
    out.emplace_back(p, static_cast<std::size_t>(stop - p));
    if (tab == nullptr) return;
    p = stop + 1;
  }
}

}  // namespace tarnwick
