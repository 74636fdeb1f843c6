#pragma once
// cStratify: splits amounts into bands between user-given boundaries and reports count, amount
// and share per band.
//
// Amounts fed in before any stratum has been defined (no stratum call has stored two
// boundaries yet) are not dropped: there is no stratum to hold them, so they go to the Below
// tally when under boundary 0 and to the Above tally otherwise, and so stay in every total.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "tarnwick/core/currency.h"
#include "tarnwick/core/variant.h"

namespace tarnwick {

class cStratify {
 public:
  static constexpr int kSlots = 101;  // boundaries 0..100

  cStratify();

  Currency ArrAmt(std::int16_t i) const;
  std::int32_t ArrCnt(std::int16_t i) const;
  Currency ArrVal(std::int16_t i) const;
  std::string ErrMsg() const { return errMsg_; }
  std::int16_t NumStrata() const { return static_cast<std::int16_t>(arrSize_ - 1); }
  std::int16_t ARRSIZE() const { return arrSize_; }
  // Defines the boundaries; the number of boundaries, or -2 (non-numeric piece), -3 (too few),
  // -4 (too many), -5 (out of sequence) with the text in ErrMsg.
  std::int16_t stratum(std::string_view sStratum);
  std::string DefinedStrata() const { return definedStrata_; }
  Variant init();
  Variant AddObs(double d2);
  std::int32_t StrataCount(std::int16_t i) const;
  Currency StrataAmt(std::int16_t i) const;
  Currency vals(std::int16_t i) const;
  std::int32_t LowCount() const { return lowCount_; }
  Currency LowAmount() const { return lowAmount_; }
  std::int32_t HighCount() const { return highCount_; }
  Currency HighAmount() const { return highAmount_; }
  std::string Report() const;

 private:
  bool InDefined(std::int16_t i) const { return i >= 0 && i <= arrSize_; }

  std::array<Currency, kSlots> vals_{};
  std::array<std::int32_t, kSlots> counts_{};
  std::array<Currency, kSlots> amounts_{};
  std::int16_t arrSize_ = 0;
  std::int32_t lowCount_ = 0;
  Currency lowAmount_;
  std::int32_t highCount_ = 0;
  Currency highAmount_;
  std::string definedStrata_;
  std::string errMsg_;
};

}  // namespace tarnwick
