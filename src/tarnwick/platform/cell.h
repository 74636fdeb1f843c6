#pragma once
// A spreadsheet cell as the engine sees it: its value and its interior colour index.
// The engine never owns cells; whoever hands one in keeps it alive for the call.

#include <cstdint>

#include "tarnwick/core/variant.h"

namespace tarnwick {

class Cell {
 public:
  virtual ~Cell() = default;
  virtual Variant value() const = 0;
  virtual std::int32_t InteriorColorIndex() const = 0;
};

// A plain in-memory cell, for tests and for the command runner.
class ValueCell : public Cell {
 public:
  ValueCell() = default;
  explicit ValueCell(Variant v, std::int32_t colorIndex = -4142)
      : value_(std::move(v)), color_(colorIndex) {}
  Variant value() const override { return value_; }
  std::int32_t InteriorColorIndex() const override { return color_; }
  void set_value(Variant v) { value_ = std::move(v); }
  void set_color(std::int32_t c) { color_ = c; }

 private:
  Variant value_;
  std::int32_t color_ = -4142;  // the host's "no fill"
};

}  // namespace tarnwick
