#include "tarnwick/core/internal/unicode_case.h"

#include <unicode/ucasemap.h>

#include <memory>

#include "tarnwick/core/error.h"
#include "tarnwick/core/text.h"

namespace tarnwick {

namespace {

struct CaseMapCloser {
  void operator()(UCaseMap* m) const { ucasemap_close(m); }
};

// The root locale's mappings: no language-specific rules (a Turkish dotless i, say).
UCaseMap* RootCaseMap() {
  thread_local std::unique_ptr<UCaseMap, CaseMapCloser> map = [] {
    UErrorCode err = U_ZERO_ERROR;
    UCaseMap* m = ucasemap_open("", U_FOLD_CASE_DEFAULT, &err);
    if (U_FAILURE(err)) Raise(ErrorCode::InvalidArgument, "Unicode case mapping unavailable");
    return std::unique_ptr<UCaseMap, CaseMapCloser>(m);
  }();
  return map.get();
}

template <class Map>
void AppendMapped(std::string& out, std::string_view s, Map map) {
  const std::size_t at = out.size();
  // Case mapping rarely grows a text; the few letters that do (the German sharp s) at most triple.
  std::size_t room = s.size() + 16;
  for (int tries = 0; tries < 3; ++tries) {
    out.resize(at + room);
    UErrorCode err = U_ZERO_ERROR;
    const int32_t n = map(RootCaseMap(), out.data() + at, static_cast<int32_t>(room), s.data(),
                          static_cast<int32_t>(s.size()), &err);
    if (err == U_BUFFER_OVERFLOW_ERROR) {
      room = static_cast<std::size_t>(n) + 1;
      continue;
    }
    if (U_FAILURE(err)) break;
    out.resize(at + static_cast<std::size_t>(n));
    return;
  }
  // should never happen: keep the text as it is rather than lose it
  out.resize(at);
  out.append(s);
}

thread_local std::string g_left, g_right;

}  // namespace

void AppendUpper(std::string& out, std::string_view s) {
  if (IsAscii(s)) {
    for (const char c : s) out += UpperChar(c);
    return;
  }
  AppendMapped(out, s, ucasemap_utf8ToUpper);
}

void AppendLower(std::string& out, std::string_view s) {
  if (IsAscii(s)) {
    for (const char c : s) out += LowerChar(c);
    return;
  }
  AppendMapped(out, s, ucasemap_utf8ToLower);
}

int CompareNoCaseText(std::string_view a, std::string_view b) {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  std::size_t i = 0;
  for (; i < n; ++i) {
    const auto x = static_cast<unsigned char>(UpperChar(a[i]));
    const auto y = static_cast<unsigned char>(UpperChar(b[i]));
    if (x == y) continue;
    if (x < 0x80 && y < 0x80) return x < y ? -1 : 1;
    break;  // letters beyond ASCII: compare the upper-cased texts
  }
  if (i == n) {
    if (a.size() == b.size()) return 0;
    if (IsAscii(a.substr(n)) && IsAscii(b.substr(n))) return a.size() < b.size() ? -1 : 1;
  }
  g_left.clear();
  g_right.clear();
  AppendUpper(g_left, a);
  AppendUpper(g_right, b);
  const int c = std::string_view(g_left).compare(g_right);
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

}  // namespace tarnwick
