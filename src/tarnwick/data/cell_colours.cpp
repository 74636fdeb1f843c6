#include "tarnwick/data/cell_colours.h"

#include <array>
#include <optional>
#include <utility>

#include "tarnwick/core/arith.h"
#include "tarnwick/core/numeric_text.h"
#include "tarnwick/core/text.h"
#include "tarnwick/data/internal/colour_table.h"

namespace tarnwick {

namespace {

// Names of the spreadsheet's default 56-colour palette.
constexpr std::array<std::pair<std::string_view, std::int16_t>, 42> kPalette = {{
    {"ALL", 0},
    {"NONE", -4142},
    {"COLORED", -1},
    {"RED", 3},
    {"BRIGHT GREEN", 4},
    {"BRIGHTGREEN", 4},
    {"BLUE", 5},
    {"YELLOW", 6},
    {"PINK", 7},
    {"TURQUOISE", 8},
    {"DARK RED", 9},
    {"DARKRED", 9},
    {"GREEN", 10},
    {"DARK YELLOW", 12},
    {"DARKYELLOW", 12},
    {"VIOLET", 13},
    {"TEAL", 14},
    {"SKY BLUE", 33},
    {"SKYBLUE", 33},
    {"LIGHT TURQUOISE", 34},
    {"LIGHTTURQUOISE", 34},
    {"LIGHT GREEN", 35},
    {"LIGHTGREEN", 35},
    {"LIGHT YELLOW", 36},
    {"LIGHTYELLOW", 36},
    {"PALE BLUE", 37},
    {"PALEBLUE", 37},
    {"ROSE", 38},
    {"LAVENDER", 39},
    {"TAN", 40},
    {"LIGHT BLUE", 41},
    {"LIGHTBLUE", 41},
    {"AQUA", 42},
    {"LIME", 43},
    {"GOLD", 44},
    {"LIGHT ORANGE", 45},
    {"LIGHTORANGE", 45},
    {"ORANGE", 46},
    {"SEA GREEN", 50},
    {"SEAGREEN", 50},
    {"BROWN", 53},
    {"PLUM", 54},
}};

bool IsEmptyValue(const Variant& v) { return v.IsEmpty() || (v.IsText() && v.text().empty()); }

// The value as a number when it is one or is numeric text.
std::optional<double> NumberOf(const Variant& v) {
  if (v.IsNumber()) return v.ToDouble();
  if (v.IsText()) return ParseNumber(v.text());
  return std::nullopt;
}

}  // namespace

void cCellColor::Color(const Variant& v) {
  if (const auto n = NumberOf(v)) {
    wanted_ = ToInteger(*n);
    return;
  }
  const std::string name = UCase(v.ToText());
  wanted_ = 0;
  if (name.empty()) return;
  for (const auto& [key, index] : kPalette) {
    if (key == name) {
      wanted_ = index;
      return;
    }
  }
}

bool cCellColor::IsColored(const Cell& c) {
  if (IsEmptyValue(c.value())) return false;
  thisColor_ = Narrow<std::int16_t>(c.InteriorColorIndex());
  return thisColor_ == wanted_ || wanted_ == 0 || (wanted_ == -1 && thisColor_ > -10);
}

Date cCellColor::CellDate(const Cell& c) {
  const Variant v = c.value();
  err_ = true;
  if (IsEmptyValue(v)) return Date(-1.0);
  if (v.IsDate()) {
    err_ = false;
    return v.ToDate();
  }
  if (v.IsText()) {
    if (const auto d = ParseDate(v.text())) {
      err_ = false;
      return *d;
    }
  }
  return Date::Serial(1900, 1, 1);
}

double cCellColor::CellAmount(const Cell& c) {
  const Variant v = c.value();
  err_ = true;
  if (IsEmptyValue(v)) return -1.0;
  const auto n = NumberOf(v);
  if (!n) return -1.0;
  err_ = false;
  return *n;
}

std::int32_t cCellColor::CellLong(const Cell& c) {
  const double a = CellAmount(c);
  return err_ ? -1 : ToLong(a);
}

cColor::cColor() {
  index_.reserve(kColourTableSize);
  for (std::size_t i = 0; i < kColourTableSize; ++i)
    index_.try_emplace(UCase(kColourTable[i].name), i);
}

std::size_t cColor::Count() const { return kColourTableSize; }

std::string cColor::GetColor(const std::string& sname) const {
  const auto it = index_.find(UCase(TrimView(sname)));
  return it == index_.end() ? std::string() : std::string(kColourTable[it->second].value);
}

}  // namespace tarnwick
