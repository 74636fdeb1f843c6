#pragma once
// cStat: a one-pass accumulator of descriptive statistics over a stream of amounts. Only the
// ten largest and ten smallest amounts are kept; everything else is a running figure.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "tarnwick/core/currency.h"
#include "tarnwick/core/variant.h"

namespace tarnwick {

namespace detail {

// The ten largest and ten smallest amounts seen so far, each list in rank order (largest first,
// smallest first). Until ten amounts are held every amount joins both lists; after that an
// amount displaces the weakest member only when strictly better, so ties leave the lists alone.
class ExtremeLists {
 public:
  static constexpr int kSize = 10;

  void Clear();
  void Add(double x);
  int held() const { return held_; }
  // Rank i (clamped into 1..10); 0 when fewer than i amounts are held.
  double Top(std::int16_t i) const;
  double Bot(std::int16_t i) const;

 private:
  std::array<double, kSize> top_{};
  std::array<double, kSize> bot_{};
  int held_ = 0;
};

// The running figures shared by the in-memory accumulators: count, mean, sample standard
// deviation, fixed-point sums, sign counts, sum of squares and the extreme lists.
struct RunningFigures {
  std::int32_t count = 0;
  double mean = 0.0;
  double sd = 0.0;  // sample standard deviation (divisor N - 1)
  Currency sum;
  double sumSquares = 0.0;
  std::int32_t countZero = 0;
  std::int32_t countPos = 0;
  std::int32_t countNeg = 0;
  Currency sumPos;
  Currency sumNeg;
  ExtremeLists lists;

  // Adds one amount and returns it rounded to fixed point. Every check runs before any figure
  // changes, so an error leaves the figures exactly as they were.
  Currency Add(double x);
};

// "Top k : " ... "Bottom k : " ... with k = min(count, 10).
std::string TopBottomText(const RunningFigures& f);
// The eleven-line short report; minimum and maximum arrive already as text because the two
// accumulators keep them in different types.
std::string SimpleReportText(const RunningFigures& f, std::string_view minText,
                             std::string_view maxText);

}  // namespace detail

class cStat {
 public:
  cStat();

  // Starts a fresh accumulation.
  void init();
  // Sample variance; brings the population figures up to date first.
  double Var();
  double Mean() const;
  double N() const;
  double SumX() const;
  double SumX2() const;
  double Min() const;
  double Max() const;
  double Range() const;
  // Population variance and standard deviation; bring the population figures up to date first.
  double Variance();
  double PopStdDev();
  double SampStdDev() const;
  // Adds a number, numeric text or empty (0). Always returns false. A value that is not a
  // number is the type-mismatch error and adds nothing.
  bool AddItem(const Variant& amt);
  // Population standard deviation from the sample one; division by zero when empty.
  void StatCalc();
  std::string Report();
  void Simple(double dAmt);
  // The i-th largest / smallest amount, i clamped into 1..10; 0 when fewer than i were added.
  double top(std::int16_t i) const;
  double Bot(std::int16_t i) const;
  std::string SimpleReport() const;
  std::string TopBottomReport() const;

 private:
  detail::RunningFigures fig_;
  double popSd_ = 0.0;
  double min_ = 0.0;
  double max_ = 0.0;
  bool popCurrent_ = false;
};

}  // namespace tarnwick
