#pragma once
// cIS: attribute-sampling sizes and systematic (interval) selection.
//  - RequiredSampleSize: the normal approximation n = z^2 p (1 - p) / precision^2 for a
//    confidence level (z the two-sided normal deviate), without a finite-population
//    correction, where it gives a usable size; never fewer items than a sample without errors
//    needs for an upper limit of p + precision at that confidence (the exact binomial size:
//    59 at 95 % and 5 %), which the approximation undercuts for small expected rates (0 items
//    at a rate of 0), and never more items than the population.
//  - GetPrecision: the normal approximation alone.
//  - GetSampPrec: the precision achieved by a sample with a number of errors, corrected for
//    populations above 200. With no errors the approximation is 0, which would claim a
//    perfect sample: the exact binomial upper limit is given instead.
//  - AddItem selects every interval-th row from a chosen start; Recon proves that the
//    selection covered every row fed.

#include <cstdint>
#include <string>

#include "tarnwick/core/variant.h"

namespace tarnwick {

class cIS {
 public:
  std::int32_t SampSize() const { return sampSize_; }
  void SampSize(std::int32_t value) { sampSize_ = value; }
  std::int32_t popsize() const { return popsize_; }
  // 0 or below sets 10,000.
  void popsize(std::int32_t value) { popsize_ = value <= 0 ? 10000 : value; }
  // The three rates are limited to 0..0.999999 and the limited value written back.
  double conf() const { return conf_; }
  void conf(double& value);
  double prec() const { return prec_; }
  void prec(double& value);
  double expecterrorrate() const { return expectErrorRate_; }
  void expecterrorrate(double& value);
  std::int32_t actualerrs() const { return actualErrs_; }
  // Below 1 becomes 0 (written back).
  void actualerrs(std::int32_t& value);

  // A confidence of exactly 0 is first set to 0.95; an unusable confidence uses z = 1.96.
  // The normal size, raised to ZeroDeviationSize and capped at popsize.
  std::int32_t RequiredSampleSize();
  // The normal approximation that RequiredSampleSize starts from (the same defaults).
  std::int32_t NormalSampleSize();
  // The binomial size of a sample without errors for an upper limit of expecterrorrate + prec
  // at conf (0 taken as 0.95).
  std::int32_t ZeroDeviationSize();
  // The achieved precision of SampSize items with actualerrs errors; SampSize 0 is the
  // division-by-zero error. A confidence of exactly 0 is first set to 0.95. Without errors:
  // the exact binomial upper limit 1 - (1 - conf)^(1 / SampSize).
  double GetSampPrec();
  // RequiredSampleSize's formula without its two defaults.
  std::int32_t GetPrecision() const;

  std::int32_t interval() const { return interval_; }
  // Below 5 becomes 5 (written back).
  void interval(std::int32_t& value);
  std::int32_t NumSamp() const { return numSamp_; }
  std::int32_t rn() const { return rn_; }
  // Sets the start: both the running position and rnstart.
  void rn(std::int32_t value) {
    rn_ = value;
    rnstart_ = value;
  }
  std::int32_t rnstart() const { return rnstart_; }
  std::int32_t numrows() const { return numrows_; }

  // Feeds one row (its value is not used); True when the row is selected.
  bool AddItem(const Variant& v);
  std::string Recon() const;

  // The two-sided normal deviate for confidence d; -1 when d is below 0.01 or above 0.9999999.
  double zscore(double d) const;
  // -1 for every d.
  double zscoreo(double d) const;

 private:
  std::int32_t interval_ = 10;
  std::int32_t rn_ = 5;
  std::int32_t rnstart_ = 5;
  std::int32_t numrows_ = 0;
  std::int32_t numSamp_ = 0;
  std::int32_t popsize_ = 10000;
  std::int32_t sampSize_ = 0;
  double conf_ = 0.95;
  double prec_ = 0.1;
  double expectErrorRate_ = 0.5;
  std::int32_t actualErrs_ = 1;
};

}  // namespace tarnwick
