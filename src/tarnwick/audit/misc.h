#pragma once
// cMisc: small auditor's tools on one object: a round-number test (trailing zeros of the
// whole-number part, with a d-statistic against random digits), ZIP and telephone area code
// extraction, the North American area-code table, and calendar or fiscal quarters.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "tarnwick/core/variant.h"

namespace tarnwick {

namespace detail {
struct AreaCodeRow {
  std::int16_t code;
  const char* state;
  const char* country;
  const char* zone;
};
// Every area code that has a value in at least one column, ascending.
std::span<const AreaCodeRow> AreaCodeRows();
}  // namespace detail

class cMisc {
 public:
  static constexpr int kCounts = 21;  // roundness 0..20
  static constexpr int kMaxRoundness = 14;

  cMisc();

  std::int32_t Count(std::int16_t i) const;
  std::int32_t NotRN() const { return notRN_; }
  std::string RNReport() const;
  Variant init();
  std::int16_t RNAddItem(std::string_view sText);
  std::string Cal(std::string_view sDate, std::string_view ctype = "C",
                  std::string_view cfmt = "Q") const;
  std::int16_t handle(std::int16_t iMonth, std::int16_t mo) const;
  std::string zc(std::string_view sText) const;
  std::string ac(std::string_view sText) const;
  std::int16_t AreaCode(std::string_view sText) const;
  std::string State(std::string_view ac) const;
  std::string Country(std::string_view ac) const;
  std::string TimeZone(std::string_view ac) const;
  void acinit();

  // The roundness of one amount text, 0..14.
  static int Roundness(std::string_view sText);

 private:
  // Slots by area code - 199, so codes 200..999 have slots 1..800.
  static constexpr int kTableSlots = 801;
  // The d-stat of the round-number report, from the counts; at least one count must be held.
  double DStat() const;
  std::string_view Lookup(const std::array<std::string_view, kTableSlots>& column,
                          std::string_view text) const;

  std::array<std::int32_t, kCounts> counts_{};
  std::int32_t notRN_ = 0;
  std::array<std::string_view, kTableSlots> state_{};
  std::array<std::string_view, kTableSlots> country_{};
  std::array<std::string_view, kTableSlots> zone_{};
};

}  // namespace tarnwick
