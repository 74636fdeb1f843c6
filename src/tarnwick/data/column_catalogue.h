#pragma once
// cColNames: the column names of a tab-delimited source and a guess of each column's type
// (A alphanumeric, N numeric, D date) from sample values, filled from a file (header plus up
// to 20 non-empty sample lines) or row by row from text the caller supplies.

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick {

class cColNames {
 public:
  cColNames();

  // Column indexes run 0 ... NumCols() - 1; any other index is SubscriptOutOfRange.
  // "A", "N" or "D" by the largest tally; ties keep "A" over "N" and the earlier over "D".
  std::string ColType(std::int16_t i) const;
  std::int16_t NumCols() const { return static_cast<std::int16_t>(last_ + 1); }
  std::int16_t geta(std::int16_t i) const;  // neither date nor number (empty included)
  std::int16_t getd(std::int16_t i) const;  // date texts
  std::int16_t getn(std::int16_t i) const;  // numeric texts
  const std::string& colname(std::int16_t i) const;
  // Reads the header and up to 20 non-empty sample lines. A missing file changes nothing;
  // any failure on the way leaves a single column.
  void FileName(const std::string& sFile);
  // Sets the names from one TAB-separated line; an empty line changes nothing.
  void Headers(const std::string& sbuff);
  // Tallies one TAB-separated line of values (fields beyond the header's are ignored).
  // A tally passing 32767 leaves a single column.
  void AddRow(const std::string& sbuff);

 private:
  std::size_t Index(std::int16_t i) const;
  bool StartColumns(const std::string& header);
  void Tally(const std::string& line);

  std::int16_t last_ = 0;
  std::vector<std::string> names_;
  std::vector<std::int16_t> other_, number_, date_;
};

}  // namespace tarnwick
