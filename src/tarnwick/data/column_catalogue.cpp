#include "tarnwick/data/column_catalogue.h"

#include <string_view>

#include "tarnwick/core/arith.h"
#include "tarnwick/core/error.h"
#include "tarnwick/core/numeric_text.h"
#include "tarnwick/platform/file_system.h"

namespace tarnwick {

namespace {

constexpr std::size_t kSampleLines = 20;

// Calls f(field) for every TAB-separated field; an empty line has none. Returns the count.
template <class F>
std::size_t ForEachField(std::string_view line, F&& f) {
  if (line.empty()) return 0;
  std::size_t n = 0;
  std::size_t from = 0;
  for (;;) {
    const std::size_t tab = line.find('\t', from);
    if (!f(n,
           line.substr(from, tab == std::string_view::npos ? std::string_view::npos : tab - from)))
      return n + 1;
    ++n;
    if (tab == std::string_view::npos) return n;
    from = tab + 1;
  }
}

}  // namespace

cColNames::cColNames() : names_(1), other_(1), number_(1), date_(1) {}

std::size_t cColNames::Index(std::int16_t i) const {
  if (i < 0 || i > last_ || static_cast<std::size_t>(i) >= names_.size())
    Raise(ErrorCode::SubscriptOutOfRange, "column " + std::to_string(i));
  return static_cast<std::size_t>(i);
}

std::string cColNames::ColType(std::int16_t i) const {
  const std::size_t k = Index(i);
  std::string t = "A";
  std::int16_t best = other_[k];
  if (best < number_[k]) {
    t = "N";
    best = number_[k];
  }
  if (best < date_[k]) t = "D";
  return t;
}

std::int16_t cColNames::geta(std::int16_t i) const { return other_[Index(i)]; }
std::int16_t cColNames::getd(std::int16_t i) const { return date_[Index(i)]; }
std::int16_t cColNames::getn(std::int16_t i) const { return number_[Index(i)]; }
const std::string& cColNames::colname(std::int16_t i) const { return names_[Index(i)]; }

bool cColNames::StartColumns(const std::string& header) {
  std::vector<std::string> names;
  ForEachField(header, [&](std::size_t n, std::string_view f) {
    if (n > 32767) Raise(ErrorCode::Overflow, "more than 32768 columns");
    names.emplace_back(f);
    return true;
  });
  if (names.empty()) return false;
  last_ = static_cast<std::int16_t>(names.size() - 1);
  names_ = std::move(names);
  other_.assign(names_.size(), 0);
  number_.assign(names_.size(), 0);
  date_.assign(names_.size(), 0);
  return true;
}

void cColNames::Headers(const std::string& sbuff) { StartColumns(sbuff); }

void cColNames::Tally(const std::string& line) {
  ForEachField(line, [&](std::size_t n, std::string_view f) {
    if (n > static_cast<std::size_t>(last_)) return false;
    bool counted = false;
    if (IsDateText(f)) {
      date_[n] = AddChecked<std::int16_t>(date_[n], 1);
      counted = true;
    }
    if (IsNumericText(f)) {
      number_[n] = AddChecked<std::int16_t>(number_[n], 1);
      counted = true;
    }
    if (!counted) other_[n] = AddChecked<std::int16_t>(other_[n], 1);
    return true;
  });
}

void cColNames::AddRow(const std::string& sbuff) {
  try {
    Tally(sbuff);
  } catch (const EngineError&) {
    last_ = 0;
  }
}

void cColNames::FileName(const std::string& sFile) {
  if (!FileExists(sFile)) return;
  try {
    TextReader in = OpenTextFile(sFile);
    if (!StartColumns(in.ReadLine())) {
      // an empty header: one nameless column and nothing tallied
      last_ = 0;
      names_.assign(1, std::string());
      other_.assign(1, 0);
      number_.assign(1, 0);
      date_.assign(1, 0);
    }
    std::string line;
    for (std::size_t tallied = 0; tallied < kSampleLines && !in.AtEndOfStream();) {
      in.ReadLine(line);
      if (line.empty()) continue;
      Tally(line);
      ++tallied;
    }
    in.Close();
  } catch (const EngineError&) {
    last_ = 0;
  }
}

}  // namespace tarnwick
