#pragma once
// cCMA: monetary-unit (cumulative monetary amount) selection. Walking through the amounts
// with a running position that starts at a random point inside the first interval, an item
// is selected each time the position passes the next multiple of the interval; items larger
// than the interval are always selected. The reconciliation report proves that every
// monetary unit of the population was walked through.
//
// The running position is kept as a fixed-point amount, like every total it is reconciled
// against, so the reconciliation difference stays exactly 0 however long the stream.

#include <cstdint>
#include <string>

#include "tarnwick/core/currency.h"

namespace tarnwick {

class cCMA {
 public:
  // Random start inside the first interval, from the engine's seedable generator.
  cCMA();

  Currency PopDR() const { return popDr_; }
  Currency PopCR() const { return popCr_; }
  std::int32_t NumDR() const { return numDr_; }
  std::int32_t NumCR() const { return numCr_; }
  Currency rnstart() const { return rnstart_; }
  // Always 0: no operation sets it.
  Currency rnend() const { return Currency{}; }
  Currency selunderJ() const;
  Currency seloverJ() const;
  Currency selamtunderJ() const { return selamtUnder_; }
  Currency selamtoverJ() const { return selamtOver_; }
  Currency intvl() const { return intvl_; }
  Currency RSE() const { return position_; }

  std::int16_t r() const { return r_; }
  // 2 or 3 is stored, anything else stores 1; the interval becomes j / r.
  void r(std::int16_t value);
  Currency j() const { return j_; }
  // Below 100 stores 100; the interval becomes j / r. The start does not move.
  void j(Currency value);
  // The running position (the same as RSE).
  Currency rn() const { return position_; }
  // A new start: the value rounded to whole units and made negative; one more than an
  // interval below zero is replaced by a random start.
  void rn(Currency value);

  // Adds one amount; True when it is selected.
  bool AddItem(double d);
  std::string CMASampRec() const;

 private:
  void SetInterval();
  void RandomStart();

  Currency j_ = Currency::FromRaw(10000 * Currency::kScale);
  std::int16_t r_ = 1;
  Currency intvl_ = Currency::FromRaw(10000 * Currency::kScale);
  Currency position_{};
  Currency rnstart_{};
  Currency popDr_{};
  Currency popCr_{};
  std::int32_t numDr_ = 0;
  std::int32_t numCr_ = 0;
  std::int32_t selUnder_ = 0;
  Currency selamtUnder_{};
  std::int32_t selOver_ = 0;
  Currency selamtOver_{};
};

}  // namespace tarnwick
