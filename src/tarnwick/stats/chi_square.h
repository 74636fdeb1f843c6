#pragma once
// Chi-square tests of independence on a table of counts.
//
// cChiSQ: a table set cell by cell (rows and columns counted from 0); computes the chi-square
// statistic, degrees of freedom, a tabulated critical value and association measures. The
// digit tests use it with one row per digit value and the actual and expected counts as the
// two columns.
//
// cNewChi: the chi-square statistic of a table handed over as a cLongArray of counts, with
// p-values from the chi-square distribution and a validity warning.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tarnwick/stats/sequences.h"

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

// cNewChi: the chi-square statistic of a table handed over as a cLongArray of counts in
// row-major order, with the continuity-adjusted statistic for one degree of freedom, phi,
// Cramer's phi, p-values and a validity warning. Used for one computation: shape it, hand it
// the array, Compute, read.
class cNewChi {
 public:
  // True when the last Compute judged the test unreliable (an expected count below 1, or more
  // than a fifth of the cells observed below 6).
  bool Err() const { return err_; }
  // Keeps a reference to the array (the caller keeps it alive until Compute has run) and takes
  // its total as the table total; a total beyond 32 bits is the overflow error.
  void AddArray(cLongArray& oArray);
  double chisq() const { return chisq_; }
  // Continuity-adjusted chi-square; 0 unless there is one degree of freedom.
  double ContAdj() const { return contAdj_; }
  void rows(std::int32_t r) { rows_ = r; }
  void cols(std::int32_t c) { cols_ = c; }
  // Number of cells, the divisor of the small-cell share.
  void totitems(std::int32_t n) { totItems_ = n; }
  // A cell with expected count 0 (an empty row or column, a total of 0) is the division-by-zero
  // error; the results of the last successful Compute then stay.
  void Compute();
  // Cramer's phi sqrt(chi2 / (T x min(rows - 1, cols - 1))) and phi sqrt(chi2 / T), whatever
  // Err says; 0 under Err where a measure is not defined (T of 0, one row or one column).
  double CramerPhi() const;
  double PhiCoeff() const;
  // (cols - 1) x (rows - 1), at least 1.
  std::int16_t DF() const;
  // The results as text; does not compute.
  std::string Report() const;

 private:
  cLongArray* array_ = nullptr;
  std::int32_t total_ = 0;
  std::int32_t rows_ = 0;
  std::int32_t cols_ = 0;
  std::int32_t totItems_ = 0;
  double chisq_ = 0;
  double contAdj_ = 0;
  bool err_ = false;
  std::int32_t smallObserved_ = 0;
};

}  // namespace tarnwick
