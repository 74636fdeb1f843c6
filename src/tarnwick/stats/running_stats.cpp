#include "tarnwick/stats/running_stats.h"

#include <algorithm>
#include <cmath>

#include "tarnwick/core/arith.h"
#include "tarnwick/core/default_text.h"
#include "tarnwick/core/report_text.h"

namespace tarnwick {

namespace detail {

namespace {
int ClampRank(std::int16_t i) {
  if (i < 1) return 1;
  if (i > ExtremeLists::kSize) return ExtremeLists::kSize;
  return i;
}
}  // namespace

void ExtremeLists::Clear() {
  top_.fill(0.0);
  bot_.fill(0.0);
  held_ = 0;
}

void ExtremeLists::Add(double x) {
  if (held_ < kSize) {
    // Insertion into both lists; an equal amount goes after the ones already there.
    int t = held_;
    while (t > 0 && top_[t - 1] < x) {
      top_[t] = top_[t - 1];
      --t;
    }
    top_[t] = x;
    int b = held_;
    while (b > 0 && bot_[b - 1] > x) {
      bot_[b] = bot_[b - 1];
      --b;
    }
    bot_[b] = x;
    ++held_;
    return;
  }
  if (x > top_[kSize - 1]) {
    int t = kSize - 1;
    while (t > 0 && top_[t - 1] < x) {
      top_[t] = top_[t - 1];
      --t;
    }
    top_[t] = x;
  }
  if (x < bot_[kSize - 1]) {
    int b = kSize - 1;
    while (b > 0 && bot_[b - 1] > x) {
      bot_[b] = bot_[b - 1];
      --b;
    }
    bot_[b] = x;
  }
}

double ExtremeLists::Top(std::int16_t i) const {
  const int r = ClampRank(i);
  return r <= held_ ? top_[r - 1] : 0.0;
}

double ExtremeLists::Bot(std::int16_t i) const {
  const int r = ClampRank(i);
  return r <= held_ ? bot_[r - 1] : 0.0;
}

Currency RunningFigures::Add(double x) {
  if (std::isnan(x)) Raise(ErrorCode::InvalidArgument);
  const Currency cx = Currency::FromDouble(x);  // overflow beyond the fixed-point range

  // The mean is the exact sum divided by the count, so it carries no drift of a running sum.
  const std::int32_t newCount = AddChecked<std::int32_t>(count, 1);
  const ExactSum newSumX = sumX.Plus(x);
  const double newMean = Checked(newSumX.Value() / static_cast<double>(newCount));

  double newSd = sd;
  if (newCount >= 2) {
    const double bigN = static_cast<double>(newCount);
    const double d = x - newMean;
    const double s2 =
        Checked(((bigN - 2.0) * sd * sd + bigN / (bigN - 1.0) * (d * d)) / (bigN - 1.0));
    newSd = std::sqrt(s2);
  }

  const Currency newSum = sum + cx;
  std::int32_t newZero = countZero;
  std::int32_t newPos = countPos;
  std::int32_t newNeg = countNeg;
  Currency newSumPos = sumPos;
  Currency newSumNeg = sumNeg;
  if (x == 0.0) {
    newZero = AddChecked<std::int32_t>(countZero, 1);
  } else if (x < 0.0) {
    newNeg = AddChecked<std::int32_t>(countNeg, 1);
    newSumNeg = sumNeg + cx;
  } else {
    newPos = AddChecked<std::int32_t>(countPos, 1);
    newSumPos = sumPos + cx;
  }
  const ExactSum newSumX2 = sumX2.PlusSquare(x);

  // Nothing can fail from here on.
  count = newCount;
  mean = newMean;
  sd = newSd;
  sum = newSum;
  countZero = newZero;
  countPos = newPos;
  countNeg = newNeg;
  sumPos = newSumPos;
  sumNeg = newSumNeg;
  sumX = newSumX;
  sumX2 = newSumX2;
  sumSquares = newSumX2.Value();
  lists.Add(x);
  return cx;
}

std::string TopBottomText(const RunningFigures& f) {
  const std::int32_t k = std::min<std::int32_t>(f.count, ExtremeLists::kSize);
  std::string out;
  out.reserve(64 + static_cast<std::size_t>(k) * 60);
  out += "Top ";
  out += NumText(k);
  out += " : ";
  out += kCrLf;
  for (std::int32_t j = 1; j <= k; ++j) {
    out += "top: ";
    out += NumText(j);
    out += " Value: ";
    AppendNumText(out, f.lists.Top(static_cast<std::int16_t>(j)));
    out += kCrLf;
  }
  out += "Bottom ";
  out += NumText(k);
  out += " : ";
  out += kCrLf;
  for (std::int32_t j = 1; j <= k; ++j) {
    out += "bot: ";
    out += NumText(j);
    out += " Value: ";
    AppendNumText(out, f.lists.Bot(static_cast<std::int16_t>(j)));
    out += kCrLf;
  }
  return out;
}

std::string SimpleReportText(const RunningFigures& f, std::string_view minText,
                             std::string_view maxText) {
  std::string out;
  out.reserve(256);
  const auto line = [&out](std::string_view label, std::string_view value) {
    out += label;
    out += value;
    out += kCrLf;
  };
  line("Simple Report: ", "");
  line("N: ", NumText(f.count));
  line("Mean: ", NumText(f.mean));
  line("Std: ", NumText(f.sd));
  line("Count Pos: ", NumText(f.countPos));
  line("Count Neg: ", NumText(f.countNeg));
  line("Count Zero: ", NumText(f.countZero));
  line("Sum Pos: ", NumText(f.sumPos));
  line("Sum Neg: ", NumText(f.sumNeg));
  line("Min: ", minText);
  line("Max: ", maxText);
  return out;
}

}  // namespace detail

cStat::cStat() { init(); }

void cStat::init() {
  fig_ = detail::RunningFigures{};
  fig_.lists.Clear();
  popSd_ = 0.0;
  min_ = 0.0;
  max_ = 0.0;
  popCurrent_ = false;
}

double cStat::Var() {
  if (!popCurrent_) StatCalc();
  return fig_.sd * fig_.sd;
}

double cStat::Mean() const { return fig_.mean; }
double cStat::N() const { return static_cast<double>(fig_.count); }
double cStat::SumX() const { return fig_.sum.ToDouble(); }
double cStat::SumX2() const { return fig_.sumSquares; }
double cStat::Min() const { return min_; }
double cStat::Max() const { return max_; }
double cStat::Range() const { return max_ - min_; }

double cStat::Variance() {
  if (!popCurrent_) StatCalc();
  return popSd_ * popSd_;
}

double cStat::PopStdDev() {
  if (!popCurrent_) StatCalc();
  return popSd_;
}

double cStat::SampStdDev() const { return fig_.sd; }

bool cStat::AddItem(const Variant& amt) {
  const double x = amt.ToDouble();  // type mismatch for text that is not a number
  Simple(x);
  return false;
}

void cStat::StatCalc() {
  const double n = static_cast<double>(fig_.count);
  const double s2 = fig_.sd * fig_.sd;
  popSd_ = std::sqrt(Checked(Div(n - 1.0, n) * s2));
  popCurrent_ = true;
}

std::string cStat::Report() {
  StatCalc();
  std::string out;
  out.reserve(256);
  const auto line = [&out](std::string_view label, std::string_view value) {
    out += label;
    out += kTab;
    out += value;
    out += kCrLf;
  };
  line("Min: ", NumText(min_));
  line("Max: ", NumText(max_));
  line("Mean: ", NumText(fig_.mean));
  line("Sum: ", NumText(fig_.sum.ToDouble()));
  line("PopStd: ", NumText(popSd_));
  line("N: ", NumText(fig_.count));
  line("sumX2: ", NumText(fig_.sumSquares));
  line("SampStd: ", NumText(fig_.sd));
  line("Range: ", NumText(max_ - min_));
  line("Var: ", NumText(fig_.sd * fig_.sd));
  return out;
}

void cStat::Simple(double dAmt) {
  const bool first = fig_.count == 0;
  fig_.Add(dAmt);
  if (first) {
    min_ = dAmt;
    max_ = dAmt;
  }
  if (dAmt < min_) min_ = dAmt;
  if (dAmt > max_) max_ = dAmt;
  popCurrent_ = false;
}

double cStat::top(std::int16_t i) const { return fig_.lists.Top(i); }
double cStat::Bot(std::int16_t i) const { return fig_.lists.Bot(i); }

std::string cStat::SimpleReport() const {
  return detail::SimpleReportText(fig_, NumText(min_), NumText(max_));
}

std::string cStat::TopBottomReport() const { return detail::TopBottomText(fig_); }

}  // namespace tarnwick
