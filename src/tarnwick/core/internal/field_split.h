#pragma once
// Splitting a line into fields without allocating per line: the fields are kept as spans of
// the line, in a vector whose capacity is reused from row to row.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
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

// Calls emit(field) for each `Sep`-separated field of a non-empty line, in order, until emit
// returns false. Sixteen bytes are looked at a time: ledger fields are short, and a call to
// memchr per field costs more than the field.
template <char Sep, class Emit>
inline void ForEachField(std::string_view line, Emit&& emit) {
  const char* from = line.data();  // start of the field being read
  const char* p = from;
  const char* end = p + line.size();
#if defined(__SSE2__)
  const __m128i sep = _mm_set1_epi8(Sep);
  for (; end - p >= 16; p += 16) {
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), sep)));
    while (mask != 0) {
      const char* t = p + __builtin_ctz(mask);
      if (!emit(std::string_view(from, static_cast<std::size_t>(t - from)))) return;
      from = t + 1;
      mask &= mask - 1;
    }
  }
#endif
  for (; p < end; ++p) {
    if (*p != Sep) continue;
    if (!emit(std::string_view(from, static_cast<std::size_t>(p - from)))) return;
    from = p + 1;
  }
  emit(std::string_view(from, static_cast<std::size_t>(end - from)));
}

template <class Emit>
inline void ForEachTabField(std::string_view line, Emit&& emit) {
  ForEachField<'\t'>(line, static_cast<Emit&&>(emit));
}

// Splits at every TAB; an empty line has no fields, a line with n TABs has n + 1.
inline void SplitTabSpans(std::string_view line, std::vector<FieldSpan>& out) {
  out.clear();
  if (line.empty()) return;
  ForEachTabField(line, [&](std::string_view f) {
    out.push_back(
        {static_cast<std::uint32_t>(f.data() - line.data()), static_cast<std::uint32_t>(f.size())});
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
inline std::size_t SplitTabInto(std::string_view line, std::string_view* out,
                                std::size_t maxFields) {
  std::size_t n = 0;
  if (line.empty()) return 0;
  ForEachTabField(line, [&](std::string_view f) {
    out[n++] = f;
    return n < maxFields;
  });
  return n;
}

// One record of a comma-separated file, as spreadsheets write them (RFC 4180): a field that
// begins with a double quote runs to its closing quote, commas and line breaks included, and a
// doubled quote inside it stands for one quote; after the closing quote the field goes on to
// the next comma. A quote anywhere else is an ordinary character. A comma at the end of the
// line leaves no empty last field, and an empty line has no fields.
//
// A line without a quote is split where it lies (the fields are spans of the line); only a line
// that holds a quote has its fields copied out, unquoted, into Text().
class CommaRecord {
 public:
  // Splits a record's first line, keeping the first `maxFields` fields (Total counts them
  // all). False when a quoted field is still open at the end of the line: the record goes on
  // with the next line (Continue).
  bool Start(std::string_view line, std::size_t maxFields) {
    max_ = maxFields;
    spans_.clear();
    total_ = 0;
    if (std::memchr(line.data(), '"', line.size()) == nullptr) {
      quoted_ = false;
      if (line.empty()) return true;
      ForEachField<','>(line, [&](std::string_view f) {
        // the last field only when it is not empty
        if (f.empty() && f.data() + f.size() == line.data() + line.size()) return true;
        Keep(static_cast<std::size_t>(f.data() - line.data()), f.size());
        return true;
      });
      return true;
    }
    quoted_ = true;
    text_.clear();
    state_ = kStart;
    fieldBegin_ = 0;
    raw_ = false;
    return Feed(line);
  }
  // The next physical line of an open record; the line break becomes "\n" in the field.
  bool Continue(std::string_view line) { return Feed(line); }
  // Ends an open record where it stands (the file ended inside a quoted field).
  void Finish() {
    if (state_ != kQuoted) return;
    if (!text_.empty() && text_.back() == '\n') text_.pop_back();
    Emit();
    state_ = kStart;
  }
  // The fields were copied out of the line(s) into Text() (the record holds a quote).
  bool Quoted() const { return quoted_; }
  std::size_t Total() const { return total_; }
  // The kept fields: spans of the line given to Start, or of Text() when Quoted().
  const std::vector<FieldSpan>& Spans() const { return spans_; }
  std::string_view Text() const { return text_; }
  // The text of field k of a record whose first line was `line`.
  std::string_view Field(std::size_t k, std::string_view line) const {
    return spans_[k].in(quoted_ ? std::string_view(text_) : line);
  }

 private:
  enum State : std::uint8_t { kStart, kUnquoted, kQuoted, kQuoteSeen };

  void Keep(std::size_t from, std::size_t len) {
    ++total_;
    if (spans_.size() < max_)
      spans_.push_back({static_cast<std::uint32_t>(from), static_cast<std::uint32_t>(len)});
  }
  void Emit() {
    Keep(fieldBegin_, text_.size() - fieldBegin_);
    fieldBegin_ = text_.size();
    raw_ = false;
  }
  bool Feed(std::string_view line) {
    // Runs without a comma (unquoted) or without a quote (quoted) are copied whole.
    const std::size_t n = line.size();
    std::size_t i = 0;
    while (i < n) {
      switch (state_) {
        case kStart: {
          const char c = line[i++];
          if (c == '"') {
            state_ = kQuoted;
            raw_ = true;
          } else if (c == ',') {
            Emit();
          } else {
            text_ += c;
            state_ = kUnquoted;
            raw_ = true;
          }
          break;
        }
        case kUnquoted: {
          const std::size_t j = std::min(line.find(',', i), n);
          text_.append(line.substr(i, j - i));
          i = j;
          if (i < n) {
            ++i;
            Emit();
            state_ = kStart;
          }
          break;
        }
        case kQuoted: {
          const std::size_t j = std::min(line.find('"', i), n);
          text_.append(line.substr(i, j - i));
          i = j;
          if (i < n) {
            ++i;
            state_ = kQuoteSeen;
          }
          break;
        }
        case kQuoteSeen: {
          const char c = line[i++];
          if (c == '"') {
            text_ += '"';
            state_ = kQuoted;
          } else if (c == ',') {
            Emit();
            state_ = kStart;
          } else {
            text_ += c;
            state_ = kUnquoted;
          }
          break;
        }
      }
    }
    if (state_ == kQuoted) {
      text_ += '\n';
      return false;
    }
    if (raw_) Emit();
    state_ = kStart;
    return true;
  }

  std::vector<FieldSpan> spans_;
  std::size_t total_ = 0;
  std::size_t max_ = 0;
  bool quoted_ = false;
  std::string text_;
  State state_ = kStart;
  std::size_t fieldBegin_ = 0;
  bool raw_ = false;
};

}  // namespace tarnwick
