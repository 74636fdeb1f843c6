#pragma once
// cAttribute: exact attribute sampling for tests of controls.
//
//  - SampleSize: the smallest sample n whose allowed deviations k (the expected deviations in
//    the sample, expected rate x n rounded up, as the published tables count them) keep the
//    chance of passing a population that deviates at the tolerable rate at or below
//    1 - conf: P(X <= k) <= 1 - conf. X is binomial for a large population (Population 0) and
//    hypergeometric for a population of Population items, of which the tolerable rate
//    (rounded up to whole items) deviate. A hypergeometric plan never exceeds the population:
//    when no smaller sample can pass, every item is tested.
//  - UpperLimit: the achieved upper deviation limit of SampSize items with Deviations
//    deviations at confidence conf: binomially the rate p with P(X <= k | n, p) = 1 - conf;
//    hypergeometrically the largest deviation count M that the sample does not reject
//    (P(X <= k | N, M, n) > 1 - conf), as a rate M / N.
//  - SizeReport and LimitReport render the figures; the computations are the members above.
//
// Expected failures are state: SampleSize returns -1 and sets Err and ErrMsg when no sample can
// meet the risk (an expected rate at or above the tolerable rate), UpperLimit does the same
// for a sample that cannot be evaluated (no items, more deviations than items, a sample larger
// than the population).

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick {

class cAttribute {
 public:
  // Rates are limited to 0..0.999999 and the limited value is written back.
  double conf() const { return conf_; }
  void conf(double& value);
  double tolerable() const { return tolerable_; }
  void tolerable(double& value);
  double expected() const { return expected_; }
  void expected(double& value);
  // 0 or below: a large population, evaluated binomially; a positive size: hypergeometrically.
  std::int32_t Population() const { return population_; }
  void Population(std::int32_t value) { population_ = value > 0 ? value : 0; }
  bool Hypergeometric() const { return population_ > 0; }

  // Planning: the sample size (-1 when there is none) and the deviations it allows.
  std::int32_t SampleSize();
  std::int32_t Allowed();
  // True when the hypergeometric plan had to take the whole population.
  bool WholePopulation();

  // Evaluation of a sample.
  std::int32_t SampSize() const { return sampSize_; }
  void SampSize(std::int32_t value) { sampSize_ = value; }
  std::int32_t Deviations() const { return deviations_; }
  void Deviations(std::int32_t value) { deviations_ = value; }
  // The upper deviation limit as a rate; -1 with Err when the sample cannot be evaluated.
  double UpperLimit();

  bool Err() const { return err_; }
  std::string ErrMsg() const { return errMsg_; }

  std::string SizeReport();
  std::string LimitReport();

  // The distributions behind the figures.
  // P(X <= k) for X binomial with n trials and rate p.
  static double BinomialCdf(std::int32_t k, std::int32_t n, double p);
  // P(X <= k) for X the deviations in n items drawn without replacement from N items of
  // which M deviate.
  static double HypergeometricCdf(std::int32_t k, std::int32_t N, std::int32_t M, std::int32_t n);
  // The smallest n with no deviations whose binomial upper limit at confidence c is at most
  // rate: (1 - rate)^n <= 1 - c. 1 for a rate of 1 or more; a rate of 0 or below is the
  // invalid-argument error, as is a confidence outside [0, 1).
  static std::int32_t ZeroDeviationSize(double c, double rate);
  // The binomial upper limit of k deviations in n items at confidence c (1 when k >= n).
  static double BinomialUpperLimit(std::int32_t k, std::int32_t n, double c);

 private:
  // The title, the population and its distribution, and the confidence: both reports open so.
  void ReportHead(std::string& out, std::string_view title) const;

  void Plan();
  void Fail(const std::string& message);

  double conf_ = 0.95;
  double tolerable_ = 0.05;
  double expected_ = 0.0;
  std::int32_t population_ = 0;
  std::int32_t sampSize_ = 0;
  std::int32_t deviations_ = 0;

  // The plan, computed by SampleSize from the settings it was computed for.
  bool planned_ = false;
  double plannedFor_[3] = {0, 0, 0};
  std::int32_t plannedPop_ = 0;
  std::int32_t size_ = -1;
  std::int32_t allowed_ = 0;
  bool whole_ = false;

  bool err_ = false;
  std::string errMsg_;
};

}  // namespace tarnwick
