#pragma once
// cStat: a one-pass accumulator of descriptive statistics over a stream of amounts. Only the
// ten largest and ten smallest amounts are kept; everything else is a running figure.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "tarnwick/core/arith.h"
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

// A sum of doubles without the drift of a plain running sum: the running total and the
// rounding error of every addition, kept apart (Neumaier's compensated summation). The total
// read back is the exact sum rounded once, whatever the order of the terms (barring an exact
// sum that lies within about 1e-30 of it of a halfway point between two doubles), so two
// accumulations of the same amounts in different orders read the same figure. AddSquare adds
// x * x exactly: the rounding error of the product joins the errors.
class ExactSum {
 public:
  // The state with one more term; this one is left as it is, so that the caller commits it
  // only once every check of its addition has passed. An overflow of the total is the
  // overflow error.
  ExactSum Plus(double x) const { return Add(x, 0.0); }
  ExactSum PlusSquare(double x) const {
    const double p = x * x;  // an overflow here is caught by the sum's check
    // Dekker's product: x split into two 26-bit halves whose products are exact, so p + err
    // is exactly x * x.
    const double c = 134217729.0 * x;  // 2^27 + 1
    const double xh = c - (c - x);
    const double xl = x - xh;
    const double err = ((xh * xh - p) + 2.0 * xh * xl) + xl * xl;
    return Add(p, err);
  }
  double Value() const { return hi_ + lo_; }

 private:
  ExactSum Add(double x, double err) const {
    // Two-sum: s + e is exactly hi + x. One check serves: a term or a total beyond the double
    // range makes s infinite (or NaN), and the errors are far below s.
    const double s = Checked(hi_ + x);
    const double bb = s - hi_;
    const double e = (hi_ - (s - bb)) + (x - bb);
    ExactSum r;
    r.hi_ = s;
    r.lo_ = lo_ + (e + err);
    return r;
  }
  double hi_ = 0.0;
  double lo_ = 0.0;
};

// The running figures shared by the in-memory accumulators: count, mean, sample standard
// deviation, fixed-point sums, sign counts, sum of squares and the extreme lists.
struct RunningFigures {
  std::int32_t count = 0;
  double mean = 0.0;  // the exact sum of the amounts (rounded once) divided by the count
  double sd = 0.0;    // sample standard deviation (divisor N - 1)
  Currency sum;
  double sumSquares = 0.0;  // the exact sum of the squares, rounded once
  ExactSum sumX;
  ExactSum sumX2;
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
