#include "tarnwick/stats/cross_tab.h"

#include "tarnwick/core/arith.h"
#include "tarnwick/core/default_text.h"
#include "tarnwick/core/report_text.h"
#include "tarnwick/stats/chi_square.h"
#include "tarnwick/stats/distributions.h"
#include "tarnwick/stats/sequences.h"

namespace tarnwick {

int cXtab::Labels::Find(std::string_view s) {
  const std::uint32_t h = KeyIndex::Hash(s);
  const std::int32_t at = index.Find(s, h, [this](std::int32_t i) {
    return std::string_view(names[static_cast<std::size_t>(i)]);
  });
  if (at >= 0) return at;
  if (static_cast<int>(names.size()) >= kMaxLabels) return -1;
  names.emplace_back(s);
  index.Insert(h, static_cast<std::int32_t>(names.size() - 1));
  return static_cast<int>(names.size() - 1);
}

void cXtab::AddItem(std::string_view rval, std::string_view cVal, double dAmt) {
  const int r = rows_.Find(rval);
  const int c = cols_.Find(cVal);
  if (r < 0 || c < 0) {
    leftOut_ = AddChecked<std::int32_t>(leftOut_, 1);
    leftOutAmount_ += dAmt;
    return;
  }
  const auto cell = static_cast<std::size_t>(r * kMaxLabels + c);
  counts_[cell] = AddChecked<std::int32_t>(counts_[cell], 1);
  amounts_[cell] += dAmt;
}

std::string cXtab::XtabResults(std::int16_t iType) const {
  std::string s = " ";
  s += kTab;
  for (std::size_t j = 0; j < cols_.names.size(); ++j) {
    if (j > 0) s += kTab;
    s += cols_.names[j];
  }
  s += kCrLf;
  for (std::size_t i = 0; i < rows_.names.size(); ++i) {
    s += rows_.names[i];
    s += kTab;
    for (std::size_t j = 0; j < cols_.names.size(); ++j) {
      const std::size_t cell = i * kMaxLabels + j;
      if (iType == 0) {
        s += NumText(counts_[cell]);
      } else {
        AppendNumText(s, amounts_[cell]);
      }
      s += kTab;
    }
    s += kCrLf;
  }
  return s;
}

std::string cXtab::XtabChiSq() const {
  const auto r = static_cast<std::int32_t>(rows_.names.size());
  const auto c = static_cast<std::int32_t>(cols_.names.size());
  cNewChi chi;
  chi.rows(r);
  chi.cols(c);
  chi.totitems(
      MulChecked<std::int16_t>(static_cast<std::int16_t>(r), static_cast<std::int16_t>(c)));
  cLongArray cells;
  for (std::int32_t i = 0; i < r; ++i)
    for (std::int32_t j = 0; j < c; ++j)
      cells.AddItem(counts_[static_cast<std::size_t>(i * kMaxLabels + j)]);
  chi.AddArray(cells);
  chi.Compute();

  const std::int16_t df = chi.DF();
  std::string s;
  AppendLabelLine(s, "Chi Square: ", chi.chisq(), "##,###.#0");
  AppendLabelLine(s, "DF: ", NumText(static_cast<std::int32_t>(df)));
  AppendLabelLine(s, "Cramer's phi: ", chi.CramerPhi(), "##.###0");
  AppendLabelLine(s, "p-value: ", 1.0 - cCephes::ChiSquareDistribution(df, chi.chisq()),
                  "#.#####0");
  return s;
}

std::string cXtab::Report() const {
  std::string s = "Cross Tabs Report: ";
  s += kCrLf;
  s += XtabChiSq();
  s += kCrLf;
  s += "Counts: ";
  s += kCrLf;
  s += XtabResults(0);
  s += kCrLf;
  s += "Amounts: ";
  s += kCrLf;
  s += XtabResults(1);
  s += kCrLf;
  if (leftOut_ > 0) {
    // Only 30 row and 30 column values fit; say what the tables do not show.
    s += "Items left out (more than 30 row or column values): ";
    s += kTab;
    s += NumText(leftOut_);
    s += kTab;
    AppendNumText(s, leftOutAmount_);
    s += kCrLf;
  }
  return s;
}

}  // namespace tarnwick
