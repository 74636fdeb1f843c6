#pragma once
// Benford digit analysis: cBenford runs one digit test over one set of amount texts; cBA
// groups amounts by key and runs a first-digit test per key.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tarnwick/core/key_index.h"
#include "tarnwick/core/variant.h"

namespace tarnwick {

class cBenford {
 public:
  cBenford();

  // Selects the digit type from the first two characters, upper-cased: F1, F2, L1, L2 or D2;
  // anything else is F1.
  void btype(std::string_view value);
  std::int16_t HiDigit() const { return hiDigit_; }
  double chisq() const { return chisq_; }
  double dstat() const { return dstat_; }
  std::int16_t DF() const { return df_; }
  // The stored report with 10 or more accepted observations, else the "Too few observations ("
  // text.
  std::string Report() const;
  void NumDigits(std::int16_t value) { numDigits_ = (value < 1 || value > 2) ? 1 : value; }
  std::int16_t NumDigits() const { return numDigits_; }
  std::int32_t NumObs() const { return numObs_; }
  Variant init();
  // Indexes below 0 read entry 0 and above 99 entry 99; the corrected index is written back.
  std::int32_t Expect(std::int16_t& i) const;
  std::int32_t Actual(std::int16_t& i) const;
  double pct(std::int16_t& i) const;
  std::int32_t Expect(int i) const {
    std::int16_t k = Clamp(i);
    return Expect(k);
  }
  std::int32_t Actual(int i) const {
    std::int16_t k = Clamp(i);
    return Actual(k);
  }
  double pct(int i) const {
    std::int16_t k = Clamp(i);
    return pct(k);
  }
  void Compute();
  // Tallies the digit value of an amount text for the current type; false (and no change)
  // when the text has no such value.
  bool AddObs(std::string_view vVar);

  // Conformity figures of the last Compute, beside the described ones. The described chisq is
  // that of a two-column table (observed against rounded expected tallies), about half of the
  // goodness-of-fit statistic, so its p-value is far too large; these use the expected counts
  // N * p(d) unrounded, with p(d) exact (for D2 the sum over first digits k of
  // log10(1 + 1 / (10k + d)), not the four-decimal pct table).
  // Pearson's goodness-of-fit chi-square, its degrees of freedom (digit values - 1) and its
  // upper-tail p-value.
  double GofChisq() const { return gofChisq_; }
  std::int16_t GofDF() const { return gofDF_; }
  double GofPValue() const { return gofP_; }
  // The described p-value: 1 - the clamped lower tail of chisq.
  double PValue() const { return pValue_; }
  // Mean absolute deviation of the observed from the expected proportions.
  double MAD() const { return mad_; }
  // The published MAD conformity range the MAD falls in (each range holds its upper bound):
  // "Close conformity", "Acceptable conformity", "Marginally acceptable conformity" or
  // "Nonconformity"; "" for L1 and L2, which have no published range, and before Compute.
  std::string MADConformity() const { return verdict_; }
  // The upper bounds of the close, acceptable and marginally acceptable ranges of the current
  // digit type; false for L1 and L2.
  bool MADRanges(double& close, double& acceptable, double& marginal) const;
  // Per digit value: the exact expected proportion, and the Z statistic of the observed
  // proportion with the continuity correction 1/(2N) (0 where the correction exceeds the
  // difference). A Z above kZCritical marks a digit beyond the 5% two-sided critical value.
  // Indexes are clamped as for Expect; 0 before Compute or outside the type's range.
  double ExactPct(std::int16_t& i) const;
  double Z(std::int16_t& i) const;
  double ExactPct(int i) const {
    std::int16_t k = Clamp(i);
    return ExactPct(k);
  }
  double Z(int i) const {
    std::int16_t k = Clamp(i);
    return Z(k);
  }
  static constexpr double kZCritical = 1.96;

 private:
  friend class cBA;
  enum class Type { F1, F2, L1, L2, D2 };
  // The digit value of an amount text for a digit type, or -1 when it has none.
  static int DigitValue(Type type, std::string_view text);
  // Adds n observations of one digit value; overflow of a counter changes nothing.
  void AddTally(int value, std::int32_t n);
  // The digit values the current type covers.
  void Range(int& lo, int& hi) const;
  // Compute's two halves: every figure from the tallies, then the report text from the figures.
  void ComputeFigures(int lo, int hi);
  std::string BuildReport(int lo, int hi) const;
  static std::int16_t Clamp(int i) {
    return static_cast<std::int16_t>(i < 0 ? 0 : (i > 99 ? 99 : i));
  }
  // Expected tallies and proportions exist only once a test has been computed: a summary by
  // key holds one test per key, and most of them never need these tables.
  struct Expectations {
    std::array<std::int32_t, 100> expect{};
    std::array<double, 100> pct{};
    std::array<double, 100> exact{};  // exact expected proportions
    std::array<double, 100> z{};
  };

  Type type_ = Type::F1;
  std::int16_t numDigits_ = 1;
  std::int32_t numObs_ = 0;
  std::array<std::int32_t, 100> actual_{};
  std::unique_ptr<Expectations> exp_;
  double chisq_ = 0;
  double dstat_ = 0;
  std::int16_t df_ = 0;
  std::int16_t hiDigit_ = 0;
  double pValue_ = 0;
  double gofChisq_ = 0;
  double gofP_ = 0;
  std::int16_t gofDF_ = 0;
  double mad_ = 0;
  const char* verdict_ = "";
  std::string report_;
};

class cBA {
 public:
  std::string ItemText(std::int32_t i) const;
  std::int32_t ItemCount(std::int32_t i) const;
  double ItemAmount(std::int32_t i) const;
  double ItemDRAmount(std::int32_t i) const;
  double ItemCRAmount(std::int32_t i) const;
  // The index of the last record: keys minus 1 (-1 when empty).
  std::int32_t TotalCount() const { return static_cast<std::int32_t>(records_.size()) - 1; }
  double TotalAmount() const { return total_; }
  void Item(std::string_view s, double d);
  // Item(keys[i], amounts[i]) for i = 0 ... n - 1, in order, with the index slots and records
  // of the batch fetched first (see ApplyFetchedAhead).
  void Items(const std::string_view* keys, const double* amounts, std::size_t n);
  // Runs every key's first-digit test and renders the "Benford Summary Report", followed by
  // a "Conformity by key" section: per key the amounts tested, the MAD with its conformity
  // range, and Pearson's goodness-of-fit chi-square and p-value (see cBenford).
  std::string SummaryReport() const;
  // The MAD and the goodness-of-fit p-value of key i's first-digit test; 0 when i is out of
  // range or the key has fewer than 10 amounts with a first digit.
  double ItemMAD(std::int32_t i) const;
  double ItemGofPValue(std::int32_t i) const;

 private:
  // A key's first-digit test is kept as its nine tallies and run when the summary is read:
  // small records keep the lookups of a ledger with many keys in cache.
  struct Record {
    std::string key;
    double amount = 0;
    double debit = 0;
    double credit = 0;
    std::int32_t count = 0;
    std::array<std::int32_t, 10> firstDigits{};
  };
  // The first significant digit of the default text of d (its first-digit test value), or -1.
  static int FirstDigit(double d, std::string& scratch);
  // Item, with the key's hash when the caller has it already.
  void Add(std::string_view s, double d, const std::uint32_t* knownHash);
  // The key's first-digit test, computed.
  static cBenford KeyTest(const Record& rec);
  bool InRange(std::int32_t i) const {
    return i >= 0 && i < static_cast<std::int32_t>(records_.size());
  }

  std::vector<Record> records_;
  // Finds keys in constant time; records keep their order of first appearance.
  KeyIndex index_;
  std::string lastKey_;
  std::int32_t lastIndex_ = -1;
  double total_ = 0;
  std::int32_t items_ = 0;
  std::string digits_;  // reused text of the current amount
};

}  // namespace tarnwick
