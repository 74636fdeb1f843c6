#include "tarnwick/audit/attribute_sampling.h"

#include <cmath>
#include <limits>
#include <string_view>

#include "tarnwick/core/arith.h"
#include "tarnwick/core/error.h"
#include "tarnwick/core/report_text.h"
#include "tarnwick/stats/distributions.h"

namespace tarnwick {
namespace {

constexpr double kMaxRate = 0.999999;
constexpr std::int32_t kMaxSize = std::numeric_limits<std::int32_t>::max();
// Rates typed as decimals (0.0125 x 80) miss whole numbers by a rounding error; a product
// within this of a whole number counts as that number.
constexpr double kWhole = 1e-9;
// Planning scans one block of sizes per allowed-deviation count; beyond this many blocks the
// expected rate is too close to the tolerable rate for any sample an auditor would draw.
constexpr std::int32_t kMaxBlocks = 100000;

constexpr std::string_view kCount = "#,###,###,##0";
constexpr std::string_view kRate = "##0.00%";

void LimitRate(double& value) {
  if (!(value >= 0.0)) value = 0.0;
  if (value > kMaxRate) value = kMaxRate;
}

// Deviations allowed in a sample of n: the expected deviations, rounded up.
std::int32_t AllowedIn(double rate, std::int32_t n) {
  return static_cast<std::int32_t>(std::ceil(rate * n - kWhole));
}

// Items of a population of N that deviate at a rate, rounded up: the smallest count that
// reaches the rate.
std::int32_t ItemsAt(double rate, std::int32_t N) {
  const double m = std::ceil(rate * N - kWhole);
  return m < 0 ? 0 : static_cast<std::int32_t>(m);
}

double LnGam(double x) {
  double sign = 1.0;
  return cCephes::LnGamma(x, sign);
}

// Stirling's series past ln sqrt(2 pi): 1/(12 z) - 1/(360 z^3), ample for z >= 1e5.
double StirlingTail(double z) { return 1.0 / (12.0 * z) - 1.0 / (360.0 * z * z * z); }

// ln(a! / (a - m)!) for whole 0 <= m <= a. Large populations would lose digits in a difference
// of two log-gammas near 1e10; the Stirling difference keeps them.
double LnFalling(double a, double m) {
  if (m <= 0.0) return 0.0;
  if (m <= 32.0) {
    double s = 0.0;
    for (double i = 0.0; i < m; i += 1.0) s += std::log(a - i);
    return s;
  }
  const double x = a - m + 1.0;  // ln Gamma(a + 1) - ln Gamma(x)
  if (x >= 1e5) {
    return (a + 0.5) * std::log1p(m / x) + m * std::log(x) - m + StirlingTail(a + 1.0) -
           StirlingTail(x);
  }
  return LnGam(a + 1.0) - LnGam(x);
}

// ln P(X = x) of the hypergeometric distribution, x within its support.
double LnHyperPmf(double x, double N, double M, double n) {
  return LnFalling(n, x) - LnGam(x + 1.0) + LnFalling(M, x) + LnFalling(N - M, n - x) -
         LnFalling(N, n);
}

void Count(std::string& out, std::string_view label, std::int32_t value) {
  out += label;
  out += kTab;
  out += FormatNumber(value, kCount);
  out += kCrLf;
}

void Rate(std::string& out, std::string_view label, double value) {
  AppendLabelLine(out, label, value, kRate);
}

}  // namespace

void cAttribute::conf(double& value) {
  LimitRate(value);
  conf_ = value;
}

void cAttribute::tolerable(double& value) {
  LimitRate(value);
  tolerable_ = value;
}

void cAttribute::expected(double& value) {
  LimitRate(value);
  expected_ = value;
}

void cAttribute::Fail(const std::string& message) {
  err_ = true;
  errMsg_ = message;
}

double cAttribute::BinomialCdf(std::int32_t k, std::int32_t n, double p) {
  if (k < 0) return 0.0;
  if (k >= n) return 1.0;
  if (p <= 0.0) return 1.0;
  if (p >= 1.0) return 0.0;
  // P(X <= k) = I_(1-p)(n - k, k + 1)
  return cCephes::IncompleteBeta(static_cast<double>(n) - k, static_cast<double>(k) + 1.0, 1.0 - p);
}

double cAttribute::HypergeometricCdf(std::int32_t k, std::int32_t N, std::int32_t M,
                                     std::int32_t n) {
  if (N < 0 || M < 0 || n < 0 || M > N || n > N) Raise(ErrorCode::InvalidArgument);
  const double dN = N, dM = M, dn = n;
  const std::int32_t lo = n - (N - M) > 0 ? n - (N - M) : 0;
  const std::int32_t hi = n < M ? n : M;
  if (k < lo) return 0.0;
  if (k >= hi) return 1.0;
  // Sum from the term nearest the mode, where the terms are largest, outwards; the far tail
  // is taken as the complement.
  const double mode = std::floor((dn + 1.0) * (dM + 1.0) / (dN + 2.0));
  const double tol = 1e-17;
  if (k < mode) {
    double x = k;
    double term = std::exp(LnHyperPmf(x, dN, dM, dn));
    double sum = term;
    while (x > lo && term > sum * tol) {
      // P(x - 1) / P(x)
      term *= x * (dN - dM - dn + x) / ((dM - x + 1.0) * (dn - x + 1.0));
      sum += term;
      x -= 1.0;
    }
    return sum < 1.0 ? sum : 1.0;
  }
  double x = static_cast<double>(k) + 1.0;
  double term = std::exp(LnHyperPmf(x, dN, dM, dn));
  double sum = term;
  while (x < hi && term > sum * tol) {
    // P(x + 1) / P(x)
    term *= (dM - x) * (dn - x) / ((x + 1.0) * (dN - dM - dn + x + 1.0));
    sum += term;
    x += 1.0;
  }
  return sum < 1.0 ? 1.0 - sum : 0.0;
}

std::int32_t cAttribute::ZeroDeviationSize(double c, double rate) {
  if (!(c >= 0.0 && c < 1.0) || !(rate > 0.0)) Raise(ErrorCode::InvalidArgument);
  if (rate >= 1.0 || c == 0.0) return 1;
  const double alpha = 1.0 - c;
  const double guess = std::ceil(std::log(alpha) / std::log1p(-rate));
  if (guess > kMaxSize) Raise(ErrorCode::Overflow);
  auto passes = [&](double n) { return std::pow(1.0 - rate, n) <= alpha; };
  double n = guess < 1.0 ? 1.0 : guess;
  // The logarithms may miss by one either way at an exact power.
  while (n > 1.0 && passes(n - 1.0)) n -= 1.0;
  while (!passes(n)) n += 1.0;
  return ToLong(n);
}

double cAttribute::BinomialUpperLimit(std::int32_t k, std::int32_t n, double c) {
  if (n <= 0 || k < 0 || !(c >= 0.0 && c < 1.0)) Raise(ErrorCode::InvalidArgument);
  if (k >= n) return 1.0;
  if (c == 0.0) return 0.0;
  if (k == 0) return -std::expm1(std::log(1.0 - c) / n);
  // P(X <= k | p) = 1 - c  <=>  I_p(k + 1, n - k) = c
  return cCephes::InvIncompleteBeta(static_cast<double>(k) + 1.0, static_cast<double>(n) - k, c);
}

void cAttribute::Plan() {
  if (planned_ && plannedFor_[0] == conf_ && plannedFor_[1] == tolerable_ &&
      plannedFor_[2] == expected_ && plannedPop_ == population_) {
    return;
  }
  planned_ = false;
  err_ = false;
  errMsg_.clear();
  size_ = -1;
  allowed_ = 0;
  whole_ = false;
  if (!(expected_ < tolerable_)) {
    Fail("the expected deviation rate must be below the tolerable rate");
  } else {
    const double alpha = 1.0 - conf_;
    const bool hyper = population_ > 0;
    const std::int32_t N = population_;
    const std::int32_t bad = hyper ? ItemsAt(tolerable_, N) : 0;
    const std::int32_t cap = hyper ? N : kMaxSize;
    auto cdf = [&](std::int32_t k, std::int32_t n) {
      return hyper ? HypergeometricCdf(k, N, bad, n) : BinomialCdf(k, n, tolerable_);
    };
    // The sizes that allow k deviations form one block; within a block the chance of passing
    // falls as n grows, so a block holds an answer only if its last size passes, and then the
    // first passing size is found by halving.
    std::int32_t n = 1;
    for (std::int32_t blocks = 0; n <= cap; ++blocks) {
      const std::int32_t k = AllowedIn(expected_, n);
      if (hyper && k >= bad) break;  // no sample can then reject the tolerable rate
      if (blocks == kMaxBlocks) {
        Fail(
            "the expected deviation rate is too close to the tolerable rate: no sample size "
            "below " +
            FormatNumber(n, kCount) + " items");
        break;
      }
      std::int32_t last = cap;
      if (expected_ > 0.0) {
        const double end = std::floor((k + kWhole) / expected_);
        last = end < cap ? static_cast<std::int32_t>(end) : cap;
        while (last > n && AllowedIn(expected_, last) > k) --last;
        while (last < cap && AllowedIn(expected_, last + 1) == k) ++last;
      }
      if (cdf(k, last) <= alpha) {
        std::int32_t lo = n, hi = last;  // hi passes
        while (lo < hi) {
          const std::int32_t mid = lo + (hi - lo) / 2;
          if (cdf(k, mid) <= alpha)
            hi = mid;
          else
            lo = mid + 1;
        }
        size_ = hi;
        allowed_ = k;
        break;
      }
      if (last == cap) {
        n = cap;
        break;
      }
      n = last + 1;
    }
    if (size_ < 0 && !err_) {
      if (hyper) {
        // Testing every item leaves no sampling risk: it passes with fewer deviations than
        // the tolerable rate's count.
        size_ = N;
        allowed_ = bad > 0 ? bad - 1 : 0;
        whole_ = true;
      } else {
        Fail("no sample size below 2,147,483,647 items meets the risk");
      }
    }
  }
  planned_ = true;
  plannedFor_[0] = conf_;
  plannedFor_[1] = tolerable_;
  plannedFor_[2] = expected_;
  plannedPop_ = population_;
}

std::int32_t cAttribute::SampleSize() {
  Plan();
  return size_;
}

std::int32_t cAttribute::Allowed() {
  Plan();
  return allowed_;
}

bool cAttribute::WholePopulation() {
  Plan();
  return whole_;
}

double cAttribute::UpperLimit() {
  planned_ = false;  // the error state now belongs to the evaluation
  err_ = false;
  errMsg_.clear();
  const std::int32_t n = sampSize_, k = deviations_;
  if (n <= 0) {
    Fail("the sample size must be at least 1");
    return -1.0;
  }
  if (k < 0 || k > n) {
    Fail("the deviations found must be from 0 to the sample size");
    return -1.0;
  }
  if (population_ > 0 && n > population_) {
    Fail("the sample cannot be larger than the population");
    return -1.0;
  }
  if (population_ <= 0) return BinomialUpperLimit(k, n, conf_);
  const std::int32_t N = population_;
  const double alpha = 1.0 - conf_;
  // Deviating items lie between the k found and all but the n - k clean items found; the
  // chance of finding at most k falls as that count grows.
  std::int32_t lo = k, hi = N - (n - k);
  if (HypergeometricCdf(k, N, hi, n) > alpha) return static_cast<double>(hi) / N;
  while (hi - lo > 1) {  // lo is not rejected, hi is
    const std::int32_t mid = lo + (hi - lo) / 2;
    if (HypergeometricCdf(k, N, mid, n) > alpha)
      lo = mid;
    else
      hi = mid;
  }
  return static_cast<double>(lo) / N;
}

void cAttribute::ReportHead(std::string& out, std::string_view title) const {
  out += title;
  out += kCrLf;
  if (population_ > 0) {
    Count(out, "Population", population_);
    AppendLabelLine(out, "Distribution", "hypergeometric");
  } else {
    AppendLabelLine(out, "Population", "large");
    AppendLabelLine(out, "Distribution", "binomial");
  }
  Rate(out, "Confidence", conf_);
}

std::string cAttribute::SizeReport() {
  const std::int32_t n = SampleSize();
  std::string out;
  ReportHead(out, "Attribute Sample Size (exact)");
  Rate(out, "Tolerable deviation rate", tolerable_);
  Rate(out, "Expected deviation rate", expected_);
  if (n < 0) {
    AppendLabelLine(out, "No sample size", errMsg_);
    return out;
  }
  Count(out, "Deviations allowed", allowed_);
  Count(out, "Required sample size", n);
  if (whole_) AppendLabelLine(out, "Note", "no smaller sample meets the risk: test every item");
  return out;
}

std::string cAttribute::LimitReport() {
  const double limit = UpperLimit();
  std::string out;
  ReportHead(out, "Attribute Sample Evaluation (exact)");
  Count(out, "Sample size", sampSize_);
  Count(out, "Deviations found", deviations_);
  if (limit < 0.0) {
    AppendLabelLine(out, "No evaluation", errMsg_);
    return out;
  }
  const double rate = static_cast<double>(deviations_) / sampSize_;
  Rate(out, "Sample deviation rate", rate);
  Rate(out, "Upper deviation limit", limit);
  Rate(out, "Allowance for sampling risk", limit - rate);
  return out;
}

}  // namespace tarnwick
