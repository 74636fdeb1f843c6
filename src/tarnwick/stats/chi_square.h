#pragma once
// Chi-square tests of independence on a table of counts.
//
// cChiSQ: a table set cell by cell (rows and columns counted from 0); computes the chi-square
// statistic, degrees of freedom, a tabulated critical value and association measures. The
// digit tests use it with one row per digit value and the actual and expected counts as the
// two columns.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick {

class cChiSQ {
 public:
  cChiSQ();

  // Sum of every count passed to SetItem.
  std::int32_t SampSize() const { return sampleSize_; }
  // Sum of (observed / expected)^2 over the cells with an expected count.
  double LikeliHood();
  double ContingentCoeff();
  double CramerPhi();
  double Phi();
  // Degrees of freedom of the last successful Compute (0 before).
  std::int32_t DF() const { return df_; }
  double chisq();
  // The tabulated critical value for the degrees of freedom (188 outside the table).
  double CritValue();
  // Five lines: chi-square, degrees of freedom, critical value, sample size, Cramer's phi.
  std::string Report();
  void numrows(std::int16_t rows) { rows_ = rows; }
  void NumCols(std::int16_t cols) { cols_ = cols; }
  // Creates the observed and expected tables for the current shape (indices 0 to the row and
  // column counts inclusive), every cell 0. The sample size is kept.
  void SetTabs();
  // Clamps rnum and colnum into the table (written back), replaces that cell with lAmt and
  // adds lAmt to the sample size. Before SetTabs: subscript error. Sample size overflow:
  // overflow error, and nothing changes.
  void SetItem(std::int16_t& rnum, std::int16_t& colnum, std::int32_t lAmt);
  // Computes every result. Never raises: a failure inside ends it quietly, keeping what was
  // computed so far and leaving the computed flag as it was.
  void Compute();

  // The critical-value table: for d = 2 .. 222 in order, the 5th percentile of the chi-square
  // distribution with d degrees of freedom.
  static constexpr int kCritCount = 221;
  static const std::array<double, kCritCount>& CritTable();

 private:
  void ComputeSteps();
  double& Expected(int i, int j) { return expected_[static_cast<std::size_t>(i) * stride_ + j]; }
  std::int32_t Observed(int i, int j) const {
    return observed_[static_cast<std::size_t>(i) * stride_ + j];
  }

  std::int16_t rows_ = 0;
  std::int16_t cols_ = 0;
  // Tables of (tabRows_ + 1) x (tabCols_ + 1) cells, row-major; empty until SetTabs.
  bool tabsCreated_ = false;
  int tabRows_ = 0;
  int tabCols_ = 0;
  std::size_t stride_ = 0;
  std::vector<std::int32_t> observed_;
  std::vector<double> expected_;

  std::int32_t sampleSize_ = 0;
  std::int32_t tableTotal_ = 0;
  double chisq_ = 0;
  double critValue_ = 0;
  double phi_ = 0;
  double cramerPhi_ = 0;
  double contingency_ = 0;
  double likelihood_ = 0;
  std::int32_t df_ = 0;
  bool computed_ = false;
};

}  // namespace tarnwick
