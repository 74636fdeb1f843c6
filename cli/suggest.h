#pragma once
// Hints for a mistyped command line: the nearest valid word, and what columns a source has.

#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::cli {

// The candidate nearest to `word` (letter case ignored) when it is close enough to be the
// intended one: at most one edit for words of up to four letters, two for longer ones; "" when
// none is, or when two are equally near.
std::string Nearest(std::string_view word, const std::vector<std::string>& candidates);

// " (did you mean X?)" for the nearest candidate, "" when there is none.
std::string DidYouMean(std::string_view word, const std::vector<std::string>& candidates);

// What a message about a column not found should add ("; the columns are: A, B, C" and either
// " (did you mean B?)" or why a byte-order mark or surrounding spaces explain the miss).
std::string ColumnHint(std::string_view wanted, const std::vector<std::string>& names);

}  // namespace tarnwick::cli
