#pragma once
// Splitting a line into fields without allocating per line: the fields are kept as spans of
// the line, in a vector whose capacity is reused from row to row.

#include <cstdint>
#include <string_view>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarnwick {

struct FieldSpan {
  std::uint32_t from = 0;
  std::uint32_t len = 0;
  std::string_view in(std::string_view line) const { return line.substr(from, len); }
};

// Calls emit(field) for each TAB-separated field of a non-empty line, in order, until emit
// returns false. Sixteen bytes are looked at a time: ledger fields are short, and a call to
// memchr per field costs more than the field.
template <class Emit>
inline void ForEachTabField(std::string_view line, Emit&& emit) {
  const char* from = line.data();  // start of the field being read
  const char* p = from;
  const char* end = p + line.size();
#if defined(__SSE2__)
  const __m128i tab = _mm_set1_epi8('\t');
  for (; end - p >= 16; p += 16) {
    unsigned mask = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), tab)));
    while (mask != 0) {
      const char* t = p + __builtin_ctz(mask);
      if (!emit(std::string_view(from, static_cast<std::size_t>(t - from)))) return;
      from = t + 1;
      mask &= mask - 1;
    }
  }
#endif
  for (; p < end; ++p) {
    if (*p != '\t') continue;
    if (!emit(std::string_view(from, static_cast<std::size_t>(p - from)))) return;
    from = p + 1;
  }
  emit(std::string_view(from, static_cast<std::size_t>(end - from)));
}

// Splits at every TAB; an empty line has no fields, a line with n TABs has n + 1.
inline void SplitTabSpans(std::string_view line, std::vector<FieldSpan>& out) {
  out.clear();
  if (line.empty()) return;
  ForEachTabField(line, [&](std::string_view f) {
    out.push_back({static_cast<std::uint32_t>(f.data() - line.data()), static_cast<std::uint32_t>(f.size())});
    return true;
  });
}

// The same split as views into the line (valid while the line is unchanged), stopping once
// `maxFields` fields are kept: the last kept field ends at its TAB and the rest of the line is
// not looked at. Readers that need the first few columns of a wide line save the rest.
inline void SplitTabViews(std::string_view line, std::vector<std::string_view>& out,
                          std::size_t maxFields = static_cast<std::size_t>(-1)) {
  out.clear();
  if (line.empty() || maxFields == 0) return;
  ForEachTabField(line, [&](std::string_view f) {
    out.push_back(f);
    return out.size() < maxFields;
  });
}

// The first `maxFields` (at least 1) fields into out[0 ...]; returns how many the line had
// up to that limit (0 for an empty line).
inline std::size_t SplitTabInto(std::string_view line, std::string_view* out, std::size_t maxFields) {
  std::size_t n = 0;
  if (line.empty()) return 0;
  ForEachTabField(line, [&](std::string_view f) {
    out[n++] = f;
    return n < maxFields;
  });
  return n;
}

}  // namespace tarnwick
