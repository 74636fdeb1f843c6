#pragma once
// cDoubleArray: keeps every amount in memory for the statistics that need the whole data set
// (median, mode, percentiles, skewness, kurtosis, histogram, top/bottom ten with z-scores),
// besides the running figures cStat also keeps.
//
// The amounts live in one contiguous block that grows 50,000 slots at a time, so memory stays
// close to 8 bytes per amount. Copies own their amounts; a moved-from array is a new, empty one.

#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "tarnwick/core/currency.h"
#include "tarnwick/core/variant.h"
#include "tarnwick/stats/running_stats.h"

namespace tarnwick {

class cDoubleArray {
 public:
  cDoubleArray() = default;
  cDoubleArray(const cDoubleArray& other) = default;
  cDoubleArray& operator=(const cDoubleArray& other) = default;
  cDoubleArray(cDoubleArray&& other) noexcept;
  cDoubleArray& operator=(cDoubleArray&& other) noexcept;
  ~cDoubleArray() = default;

  // The getters below bring the whole-array statistics up to date first (sorting the array);
  // with one or two amounts, or all amounts equal, that is the division-by-zero error.
  double Var();
  Variant PopStdDev();
  double CV();
  double USS();
  double Range();
  double SEM();
  // Percentile(75) - Percentile(25), the array sorted first.
  double QRange();
  std::int16_t NumberBins() const;
  // Bin i of the last histogram, i from 0 to 30; other values are the subscript error.
  std::int32_t Counts(std::int16_t i) const;
  double Amounts(std::int16_t i) const;
  double WidthOfBin() const;
  Currency Min() const;
  Currency SumPos() const;
  Currency SumNeg() const;
  std::int32_t CountNeg() const;
  std::int32_t CountPos() const;
  std::int32_t CountZero() const;
  std::int32_t Count() const;
  Currency Total() const;
  // Adds the amount to the running figures and stores it.
  void AddItem(double d);
  // The amount at 0-based position i in the current order; 0 outside 0..Count-1.
  double Element(std::int32_t i) const;
  void SortArray();
  // i from 0 to 99: the amount at position round(i * Count / 100) - 1 (halves to even, at
  // least 0) in the current order; 0 for other i.
  double Percentile(std::int32_t i) const;
  std::string HistoReport();
  // The ten largest and ten smallest amounts with their signed z-scores (amount - mean) / s.
  std::string OLReport();
  std::string StatReport();
  // Running figures and extreme lists only; the amount is not stored.
  void Simple(double dAmt);
  double top(std::int16_t i) const;
  double Bot(std::int16_t i) const;
  std::string SimpleReport() const;
  std::string TopBottomReport() const;

  // StatReport, HistoReport and OLReport for data on which some figures cannot be computed
  // (one or two amounts, amounts all equal, a mean of 0): where the report raises the
  // division-by-zero error, these print every figure that can be computed and, in place of
  // each other one, "n/a" and the reason. For any other data they are those reports, byte for
  // byte. With no amounts they raise the error as the reports do.
  std::string StatReportNA();
  std::string HistoReportNA();
  std::string OLReportNA();

 private:
  // The figures of the statistics report that depend on the spread of the amounts, as printed
  // (StatReport formats them; StatReportNA says which cannot be computed).
  struct SpreadCells {
    std::string sd, skewness, kurtosis, cv, variance, qrange, popsd, uss, range, sem;
  };
  // The statistics report's text around those figures.
  std::string StatText(const SpreadCells& c) const;

  static constexpr int kBins = 31;

  void SortIfNeeded();
  void BringUpToDate();
  // The histogram's bins over the sorted amounts, kept for the bin getters; HistoReport prints
  // them.
  void ComputeHistogram();
  double PopSd() const;

  // The amounts: one malloc'd block that frees itself and copies deeply. It grows with
  // realloc, which moves a large block by remapping its pages instead of copying them.
  class AmountBlock {
   public:
    AmountBlock() = default;
    AmountBlock(const AmountBlock& other);
    AmountBlock& operator=(const AmountBlock& other);
    AmountBlock(AmountBlock&& other) noexcept;
    AmountBlock& operator=(AmountBlock&& other) noexcept;
    ~AmountBlock() = default;

    double* data() const { return data_.get(); }
    std::int32_t size() const { return size_; }
    double& operator[](std::int32_t i) const { return data_.get()[i]; }
    // Room for `needed` amounts: 50,001 slots, then 50,000 more at a time.
    void Reserve(std::int32_t needed);
    // Appends within the room Reserve made.
    void Append(double d) { data_.get()[size_++] = d; }

   private:
    struct Free {
      void operator()(double* p) const noexcept { std::free(p); }
    };
    std::unique_ptr<double, Free> data_;
    std::int32_t size_ = 0;
    std::int32_t capacity_ = 0;
  };

  // Everything the array knows, in one member: copies need no member list, and a move hands
  // the whole state over and leaves a new one behind.
  struct State {
    AmountBlock amounts;
    detail::RunningFigures fig;
    Currency min;
    Currency max;

    bool sorted = false;
    bool current = false;
    double median = 0.0;
    double mode = 0.0;
    double skewness = 0.0;
    double kurtosis = 0.0;

    std::int32_t numberBins = 0;
    double binWidth = 0.0;
    std::array<std::int32_t, kBins> binCounts{};
    std::array<double, kBins> binAmounts{};
  };
  State st_;
};

}  // namespace tarnwick
