#pragma once
// Order statistics for amount columns too long to hold in memory.
//
// mQSort     the in-memory sort of fixed-size records through a three-way comparison.
// cSort      sorted run files in the temporary folder, their pairwise merge into one sorted
//            file, and the statistics and reports read from that file.
// cNewDouble the front end fed one amount at a time; it buffers 250,001 amounts and hands each
//            full buffer to its cSort.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tarnwick/core/currency.h"
#include "tarnwick/core/error.h"
#include "tarnwick/core/variant.h"
#include "tarnwick/stats/running_stats.h"

namespace tarnwick {

namespace mQSort {

// Three-way comparison of two records: negative, zero or positive for less, equal, greater.
using Comparison = int (*)(const void* a, const void* b);

// Sorts `count` records of `size` bytes lying contiguously from `first`, ascending by `compare`.
// Not stable. The two comparisons below are recognised and sorted without indirect calls.
void QSort(void* first, std::size_t count, std::size_t size, Comparison compare);

// Doubles ascending.
int CompareDouble(const void* a, const void* b);
// 32-bit integers ascending.
int CompareLong(const void* a, const void* b);

}  // namespace mQSort

// Merges two ascending run files (one amount per line) into `out`, created or replaced: the line
// with the smaller numeric value goes first, the second file's line when the values are equal.
// Lines are copied unchanged. Returns the number of lines written. On failure `out` is removed.
std::int64_t MergeRunFiles(const std::string& first, const std::string& second,
                           const std::string& out);

// Sorted run files and the statistics read back from the merged file.
//
// Calling order: any number of AddArray calls, then MergeFiles, then CompP, then any getter or
// report. Every file the sort creates lives in the temporary folder; a run or merge file is
// removed as soon as it has been merged, and the output file when the sort is destroyed.
class cSort {
 public:
  static constexpr std::int32_t kMaxFiles = 4001;  // entries 0 to 4,000
  static constexpr double kAmountLimit = 9.2E+14;  // amounts outside +-this are refused

  cSort() = default;
  ~cSort();
  cSort(const cSort&) = delete;
  cSort& operator=(const cSort&) = delete;

  double QRange() const { return qrange_; }
  double CSS() const { return css_; }
  double BinWidth() const { return binWidth_; }
  // Bins 0 to 40; any other index is the subscript error.
  std::int32_t HistoCount(std::int16_t i) const;
  double HistoAmount(std::int16_t i) const;
  std::int32_t N() const { return n_; }
  double Min() const { return min_.ToDouble(); }
  double Max() const { return max_.ToDouble(); }
  Currency Sum() const { return sum_; }
  std::int16_t NumBins() const { return numBins_; }
  // Set when an amount could not be accumulated.
  bool Error() const { return error_; }
  // The fully merged file; "" when there were no amounts.
  std::string OutPutFile() const { return output_; }
  // Run and merge files registered so far.
  std::int32_t Count() const { return fileCount_; }
  std::int32_t ItemCount() const { return n_; }
  Currency Total() const { return sum_; }
  // Name and item count (as text) of entry i, 0 to 4,000; "" and "0" for an unused entry.
  std::string FileName(std::int32_t i) const;
  std::string FileCount(std::int32_t i) const;

  // Sorts the first iCount amounts of oArray ascending (in place), writes them to a new run file
  // and registers it. An amount that cannot be accumulated sets the error flag and the file is
  // dropped. Always returns false.
  bool AddArray(std::vector<double>& oArray, std::int32_t iCount);
  // Merges the run files pairwise into one output file and runs the statistics passes over it.
  // A later call carries on the same queue with runs added since. Returns an empty Variant.
  Variant MergeFiles();
  // A fresh path in the temporary folder.
  std::string tmpFile() const;
  // Accumulates one amount; false (and no change) when the error flag is set, the amount lies
  // outside +-9.2E+14 or any sum overflows.
  bool Simple(double dAmt);
  // Percentile rows and values, and the interquartile range.
  void CompP();

  std::string PercentileReport() const;
  std::string StatReport() const;
  double Var() const;
  Variant PopStdDev() const;
  double CV() const;
  double USS() const { return uss_; }
  double Range() const;
  double SEM() const;
  std::string HistoReport() const;
  // The N largest (smallest) amounts; N is limited to 1..100 and to the number of amounts.
  std::string TopNReport(std::int16_t N) const;
  std::string BottomNReport(std::int16_t N) const;

 private:
  struct RunFile {
    std::string name;
    std::int32_t count = 0;
    bool held = false;  // the file still exists and this sort will remove it
  };

  void CheckRoom() const;
  void Register(std::string name, std::int32_t count);
  void Release(std::int32_t i);
  void StatisticsPasses();
  std::string ListReport(const std::array<double, 101>& list, std::int16_t n) const;

  std::vector<RunFile> files_;
  std::int16_t fileCount_ = 0;
  std::int32_t mergeNext_ = 0;  // next queue position of MergeFiles
  std::string output_;
  bool error_ = false;

  std::int32_t n_ = 0;
  Currency min_, max_, sum_;
  std::int32_t countZero_ = 0, countNeg_ = 0, countPos_ = 0;
  Currency sumPos_, sumNeg_;
  // The exact sums of the unrounded amounts and of their squares (rounded once when read), so
  // that the mean and USS are those of the in-memory statistics on the same amounts.
  detail::ExactSum sumX_, sumX2_;
  double uss_ = 0.0;

  double mean_ = 0.0, s_ = 0.0, scaledS_ = 0.0, css_ = 0.0, median_ = 0.0, mode_ = 0.0;
  double skewness_ = 0.0, kurtosis_ = 0.0, qrange_ = 0.0;

  std::int16_t numBins_ = 0;
  double binWidth_ = 0.0;
  std::array<std::int32_t, 41> histoCount_{};
  std::array<double, 41> histoAmount_{};

  std::array<std::int32_t, 9> pctRow_{};
  std::array<double, 9> pctValue_{};
  std::array<double, 101> top_{};     // 1-based: largest first
  std::array<double, 101> bottom_{};  // 1-based: smallest first
};

// Front end fed one amount at a time. Amounts are buffered 250,001 at a time and each full
// buffer becomes a run file of the sort; the first report finishes the sort (last run, merge,
// statistics, percentiles). Amounts added after the first report are counted but not sorted.
//
// If finishing fails (one or two amounts, all amounts equal, a file error), the error reaches the
// caller, every temporary file is removed at once, and each later report raises the same error.
class cNewDouble {
 public:
  static constexpr std::int32_t kBufferSize = 250001;

  cNewDouble();
  ~cNewDouble();
  cNewDouble(const cNewDouble&) = delete;
  cNewDouble& operator=(const cNewDouble&) = delete;

  // Amounts accepted.
  std::int32_t N() const { return n_; }
  // The sort's figures as of the last report; 0 before the first.
  double BinWidth() const;
  double Max() const;
  double Min() const;
  Currency Sum() const;
  std::int32_t HistoCount(std::int16_t i) const;
  double HistoAmount(std::int16_t i) const;
  std::int32_t Count() const { return n_; }
  std::int16_t NumberBins() const;

  // Accepts one amount; one outside +-9.2E+14 (or not a number) is ignored.
  void AddItem(double d);

  std::string HistoReport();
  std::string StatReport();
  std::string PercentileReport();
  std::string TopNReport(std::int16_t iCount = 10);
  std::string BottomNReport(std::int16_t iCount = 10);

  // The sort behind the reports, for inspecting its run files and figures.
  const cSort& Sort() const { return *sort_; }

 private:
  void Finish();
  std::string TooFew() const;

  std::vector<double> buffer_;
  std::int32_t buffered_ = 0;
  std::int32_t n_ = 0;
  bool finished_ = false;
  std::optional<EngineError> failure_;
  std::unique_ptr<cSort> sort_;
};

}  // namespace tarnwick
