#include "suggest.h"

#include <algorithm>
#include <cstdlib>

#include "tarnwick/core/text.h"

namespace tarnwick::cli {

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

// Edit distance with transpositions (optimal string alignment), letter case ignored.
std::size_t Distance(std::string_view a, std::string_view b) {
  const std::size_t n = a.size(), m = b.size();
  std::vector<std::size_t> d((n + 1) * (m + 1));
  auto at = [&](std::size_t i, std::size_t j) -> std::size_t& { return d[i * (m + 1) + j]; };
  for (std::size_t i = 0; i <= n; ++i) at(i, 0) = i;
  for (std::size_t j = 0; j <= m; ++j) at(0, j) = j;
  for (std::size_t i = 1; i <= n; ++i) {
    for (std::size_t j = 1; j <= m; ++j) {
      const std::size_t cost = Lower(a[i - 1]) == Lower(b[j - 1]) ? 0 : 1;
      at(i, j) = std::min({at(i - 1, j) + 1, at(i, j - 1) + 1, at(i - 1, j - 1) + cost});
      if (i > 1 && j > 1 && Lower(a[i - 1]) == Lower(b[j - 2]) &&
          Lower(a[i - 2]) == Lower(b[j - 1])) {
        at(i, j) = std::min(at(i, j), at(i - 2, j - 2) + 1);
      }
    }
  }
  return at(n, m);
}

constexpr std::string_view kBom = "\xEF\xBB\xBF";

// Between candidates equally many edits away, the one whose letters differ least (a typed F
// is nearer E than A), so that BF suggests BE; only words of equal length are compared so.
int LetterGap(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return 0;
  int gap = 0;
  for (std::size_t i = 0; i < a.size(); ++i) gap += std::abs(Lower(a[i]) - Lower(b[i]));
  return gap;
}

}  // namespace

std::string Nearest(std::string_view word, const std::vector<std::string>& candidates) {
  if (word.empty()) return {};
  const std::size_t limit = word.size() <= 4 ? 1 : 2;
  std::string best;
  std::size_t bestDist = limit + 1;
  int bestGap = 0;
  bool tie = false;
  for (const std::string& c : candidates) {
    if (EqualsNoCase(c, word)) continue;  // not a misspelling of itself
    const std::size_t dist = Distance(word, c);
    const int gap = LetterGap(word, c);
    if (dist < bestDist || (dist == bestDist && gap < bestGap)) {
      best = c;
      bestDist = dist;
      bestGap = gap;
      tie = false;
    } else if (dist == bestDist && gap == bestGap && !EqualsNoCase(c, best)) {
      tie = true;
    }
  }
  return bestDist <= limit && !tie ? best : std::string();
}

std::string DidYouMean(std::string_view word, const std::vector<std::string>& candidates) {
  const std::string n = Nearest(word, candidates);
  return n.empty() ? std::string() : " (did you mean " + n + "?)";
}

std::string ColumnHint(std::string_view wanted, const std::vector<std::string>& names) {
  std::string hint;
  for (const std::string& name : names) {
    std::string_view v = name;
    const bool bom = v.substr(0, kBom.size()) == kBom;
    if (bom) v.remove_prefix(kBom.size());
    const std::string trimmed = Trim(std::string(v));
    if (!EqualsNoCase(trimmed, wanted)) continue;
    if (bom)
      hint +=
          "; the file begins with a byte-order mark, which is part of the first "
          "column's name";
    if (trimmed.size() != v.size()) {
      hint += "; the column is named \"" + std::string(v) + "\", with spaces around the name";
    }
  }
  std::string list;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i == 10 && names.size() > 12) {
      list += ", ... (" + std::to_string(names.size()) + " columns)";
      break;
    }
    if (i > 0) list += ", ";
    list += names[i];
  }
  for (const std::string& name : names) {
    for (const char c : name) {
      if (static_cast<unsigned char>(c) < 0x20 && c != '\t') {
        return "; the first line is no header of column names (it holds control characters)";
      }
    }
  }
  bool named = false;
  for (const std::string& name : names) named = named || !TrimView(name).empty();
  if (!named) return "; the source has no named columns";
  std::string out = "; the columns are: " + list;
  out += hint.empty() ? DidYouMean(wanted, names) : hint;
  return out;
}

}  // namespace tarnwick::cli
