#pragma once
// Cell colours: cCellColor selects spreadsheet cells by fill colour and reads a cell's value
// as a date, an amount or a whole number with an error flag; cColor translates X11 colour
// names into six-digit hexadecimal RGB text.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "tarnwick/core/date.h"
#include "tarnwick/core/variant.h"
#include "tarnwick/platform/cell.h"

namespace tarnwick {

class cCellColor {
 public:
  // True when the last CellDate, CellAmount or CellLong found no value of the asked kind.
  bool Err() const { return err_; }
  // Empty: day -1 with Err; a date: that date; anything else: 1 January 1900 with Err.
  Date CellDate(const Cell& c);
  // Empty or not numeric: -1 with Err.
  double CellAmount(const Cell& c);
  // As CellAmount, rounded halves to even to a Long; Overflow beyond a Long.
  std::int32_t CellLong(const Cell& c);
  // Colour index of the last non-empty cell IsColored examined.
  std::int16_t ThisColor() const { return thisColor_; }
  // A palette index (number or numeric text; Overflow beyond 16 bits) or a colour name:
  // "ALL" 0, "NONE" -4142, "COLORED" -1, palette names; unknown names give 0 (every colour).
  void Color(const Variant& v);
  std::int16_t WantedColor() const { return wanted_; }
  // Whether a non-empty cell is selected by the wanted colour.
  bool IsColored(const Cell& c);

 private:
  std::int16_t wanted_ = 0;
  std::int16_t thisColor_ = 0;
  bool err_ = false;
};

class cColor {
 public:
  cColor();
  // The hexadecimal value of the named colour (trimmed, any case), "" when it is not known.
  std::string GetColor(const std::string& sname) const;
  std::size_t Count() const;

 private:
  std::unordered_map<std::string, std::size_t> index_;  // upper-cased name -> first entry
};

}  // namespace tarnwick
