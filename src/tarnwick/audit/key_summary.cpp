#include "tarnwick/audit/key_summary.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <queue>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "tarnwick/core/arith.h"
#include "tarnwick/core/default_text.h"
#include "tarnwick/core/error.h"
#include "tarnwick/core/key_index.h"
#include "tarnwick/core/report_text.h"

namespace tarnwick {

namespace detail {

// Unaligned word loads of key bytes.
inline std::uint64_t Load64(const char* p) {
  std::uint64_t w;
  std::memcpy(&w, p, 8);
  return w;
}
inline std::uint64_t Load32(const char* p) {
  std::uint32_t w;
  std::memcpy(&w, p, 4);
  return w;
}

namespace {
constexpr std::size_t kHugePage = std::size_t{2} << 20;
}  // namespace

void* AllocateLarge(std::size_t bytes) {
  if (bytes < kHugePage) return ::operator new(bytes);
  const std::size_t rounded = (bytes + kHugePage - 1) & ~(kHugePage - 1);
  void* p = std::aligned_alloc(kHugePage, rounded);
  if (p == nullptr) throw std::bad_alloc();
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  (void)madvise(p, rounded, MADV_HUGEPAGE);  // advice only: a refusal changes nothing
#endif
  return p;
}

void FreeLarge(void* p, std::size_t bytes) noexcept {
  if (bytes < kHugePage) {
    ::operator delete(p);
  } else {
    std::free(p);
  }
}

KeyText::KeyText(std::string_view s) {
  if (s.size() > UINT32_MAX) Raise(ErrorCode::InvalidArgument);
  size_ = static_cast<std::uint32_t>(s.size());
  if (s.size() <= kInline) {
    std::memcpy(buf_, s.data(), s.size());
  } else {
    char* p = new char[s.size()];
    std::memcpy(p, s.data(), s.size());
    std::memcpy(buf_, &p, sizeof p);
  }
}

}  // namespace detail

namespace {

// Key equality without a library call for the short keys of ledgers; loads stay inside both
// texts (overlapping loads where the length is not a multiple of the width).
inline bool SameText(std::string_view a, std::string_view b) {
  const std::size_t n = a.size();
  if (n != b.size()) return false;
  const char* p = a.data();
  const char* q = b.data();
  if (n >= 8) {
    if (n > 16) return std::memcmp(p, q, n) == 0;
    return detail::Load64(p) == detail::Load64(q) &&
           detail::Load64(p + n - 8) == detail::Load64(q + n - 8);
  }
  if (n >= 4)
    return detail::Load32(p) == detail::Load32(q) &&
           detail::Load32(p + n - 4) == detail::Load32(q + n - 4);
  for (std::size_t i = 0; i < n; ++i)
    if (p[i] != q[i]) return false;
  return true;
}

constexpr std::string_view kSummaryAmount = "##,###,###.00";
constexpr std::string_view kSummaryCount = "##,###,##0";
constexpr std::string_view kDuplicateAmount = "###,###.00";

// The amount columns of these reports all use a grouped, all-"#" integer part and exactly two
// decimals ("##,###,###.00" and "###,###.00" render alike). Reports over a million keys format
// nine of them per line, so they are written here directly; the output is that of
// AppendNumber, which remains the fallback for values beyond exact whole hundredths.
void AppendCents(std::string& out, std::uint64_t cents, bool negative) {
  if (negative && cents != 0) out += '-';
  const std::uint64_t whole = cents / 100;
  const auto frac = static_cast<unsigned>(cents % 100);
  if (whole != 0) {
    char digits[24];
    char* end = digits + sizeof digits;
    char* p = end;
    std::uint64_t w = whole;
    int n = 0;
    do {
      if (n != 0 && n % 3 == 0) *--p = ',';
      *--p = static_cast<char>('0' + w % 10);
      w /= 10;
      ++n;
    } while (w != 0);
    out.append(p, static_cast<std::size_t>(end - p));
  }
  const char tail[3] = {'.', static_cast<char>('0' + frac / 10),
                        static_cast<char>('0' + frac % 10)};
  out.append(tail, 3);
}

void AppendAmount2(std::string& out, Currency v, std::string_view pattern) {
  const std::int64_t raw = v.raw();
  if (raw == INT64_MIN) {
    AppendNumber(out, v, pattern);
    return;
  }
  const auto mag = static_cast<std::uint64_t>(raw < 0 ? -raw : raw);
  const std::uint64_t cents = mag / 100 + (mag % 100 >= 50 ? 1 : 0);  // halves away from zero
  AppendCents(out, cents, raw < 0);
}

void AppendAmount2(std::string& out, double v, std::string_view pattern) {
  const double scaled = std::fabs(v) * 100.0;
  if (!(scaled < 9007199254740992.0)) {  // also NaN: the general path decides
    AppendNumber(out, v, pattern);
    return;
  }
  AppendCents(out, static_cast<std::uint64_t>(std::round(scaled)), std::signbit(v));
}

void AppendCount(std::string& out, std::int32_t n) {
  char buf[16];
  const auto r = std::to_chars(buf, buf + sizeof buf, n);
  out.append(buf, static_cast<std::size_t>(r.ptr - buf));
}

// The fixed-point form of an amount, as Currency::FromDouble gives it, without library calls
// for the amounts a ledger holds: below 2^52 ten-thousandths, adding and removing 2^52 rounds
// to the nearest whole number, halves to even, exactly.
inline Currency ToAmount(double d) {
  const double scaled = d * static_cast<double>(Currency::kScale);
  constexpr double kTwo52 = 4503599627370496.0;
  if (!(std::fabs(scaled) < kTwo52)) return Currency::FromDouble(d);
  const double r = scaled >= 0 ? (scaled + kTwo52) - kTwo52 : (scaled - kTwo52) + kTwo52;
  return Currency::FromRaw(static_cast<std::int64_t>(r));
}

inline Currency AddAmount(Currency a, Currency b) {
  std::int64_t r;
  if (__builtin_add_overflow(a.raw(), b.raw(), &r)) Raise(ErrorCode::Overflow);
  return Currency::FromRaw(r);
}

// The running mean and sample deviation (divisor n - 1) after the n-th amount d.
struct Moments {
  double mean;
  double std;
};
inline Moments NextMoments(std::int32_t n, double oldMean, double oldStd, double d) {
  const double dn = static_cast<double>(n);
  const double mean = ((dn - 1.0) * oldMean + d) / dn;
  const double dev = d - mean;
  const double variance = ((dn - 2.0) * oldStd * oldStd + dev * dev * dn / (dn - 1.0)) / (dn - 1.0);
  return {Checked(mean), std::sqrt(Checked(variance))};
}

template <class Records>
bool InRange(const Records& records, std::int32_t i) {
  return i >= 0 && static_cast<std::size_t>(i) < records.size();
}

void CheckParetoIndex(std::int16_t i) {
  if (i < 0 || i >= cStringArray::kParetoSlots) Raise(ErrorCode::SubscriptOutOfRange);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// cStringArray

const cStringArray::Record* cStringArray::At(std::int32_t i) const {
  return InRange(records_, i) ? &records_[static_cast<std::size_t>(i)] : nullptr;
}

std::string cStringArray::ParItem(std::int16_t i) const {
  CheckParetoIndex(i);
  return parItem_[static_cast<std::size_t>(i)];
}

double cStringArray::ParVal(std::int16_t i) const {
  CheckParetoIndex(i);
  return parVal_[static_cast<std::size_t>(i)];
}

std::string cStringArray::ItemText(std::int32_t i) const {
  const Record* r = At(i);
  return r ? std::string(r->key.view()) : std::string();
}
std::int32_t cStringArray::ItemCount(std::int32_t i) const {
  const Record* r = At(i);
  return r ? r->count : 0;
}
Currency cStringArray::ItemAmount(std::int32_t i) const {
  const Record* r = At(i);
  return r ? r->amount : Currency();
}
Currency cStringArray::ItemDRAmount(std::int32_t i) const {
  const Record* r = At(i);
  return r ? r->debits : Currency();
}
Currency cStringArray::ItemCRAmount(std::int32_t i) const {
  const Record* r = At(i);
  return r ? r->credits : Currency();
}
double cStringArray::ItemStd(std::int32_t i) const {
  const Record* r = At(i);
  return r ? r->std : 0.0;
}
double cStringArray::ItemMean(std::int32_t i) const {
  const Record* r = At(i);
  return r ? r->mean : 0.0;
}
Currency cStringArray::ItemMax(std::int32_t i) const {
  const Record* r = At(i);
  return r ? r->maximum : Currency();
}
Currency cStringArray::ItemMin(std::int32_t i) const {
  const Record* r = At(i);
  return r ? r->minimum : Currency();
}

void cStringArray::Item(std::string_view s, double d) { Add(s, d, nullptr); }

inline void cStringArray::Add(std::string_view s, double d, const std::uint32_t* knownHash) {
  // Every check that can fail comes before the first change.
  const Currency a = ToAmount(d);
  const std::int32_t items = AddChecked(itemCount_, 1);
  const double total = Checked(grandTotal_ + d);

  std::int32_t found = -1;
  std::uint32_t hash = 0;
  if (lastIndex_ >= 0 && SameText(records_[static_cast<std::size_t>(lastIndex_)].key, s)) {
    found = lastIndex_;
  } else {
    hash = knownHash != nullptr ? *knownHash : KeyIndex::Hash(s);
    found = index_.FindIf(hash, [&](std::int32_t k) {
      return SameText(records_[static_cast<std::size_t>(k)].key, s);
    });
    if (found >= 0) lastIndex_ = found;
  }

  if (found < 0) {
    if (records_.size() >= static_cast<std::size_t>(INT32_MAX)) Raise(ErrorCode::Overflow);
    Record r;
    r.key = detail::KeyText(s);
    r.count = 1;
    r.amount = a;
    r.mean = d;
    r.std = 0.0;
    r.minimum = a;
    r.maximum = a;
    if (d > 0) r.debits = a;
    if (d < 0) r.credits = a;
    records_.push_back(std::move(r));
    index_.Insert(hash, static_cast<std::int32_t>(records_.size() - 1));
  } else {
    Record& r = records_[static_cast<std::size_t>(found)];
    const std::int32_t n = AddChecked(r.count, 1);
    const Currency amount = AddAmount(r.amount, a);
    const Currency debits = d > 0 ? AddAmount(r.debits, a) : r.debits;
    const Currency credits = d < 0 ? AddAmount(r.credits, a) : r.credits;
    const Moments m = NextMoments(n, r.mean, r.std, d);
    r.count = n;
    r.amount = amount;
    r.debits = debits;
    r.credits = credits;
    r.mean = m.mean;
    r.std = m.std;
    if (a < r.minimum) r.minimum = a;
    if (a > r.maximum) r.maximum = a;
  }
  grandTotal_ = total;
  itemCount_ = items;
  if (d != 0.0) anyAmount_ = true;
}

void cStringArray::Items(const std::string_view* keys, const double* amounts, std::size_t n) {
  ApplyFetchedAhead<std::uint32_t>(
      n, index_, [&](std::size_t i) { return KeyIndex::Hash(keys[i]); },
      [this](std::int32_t r) { return &records_[static_cast<std::size_t>(r)]; },
      [&](std::size_t i, std::uint32_t hash) { Add(keys[i], amounts[i], &hash); });
}

std::string cStringArray::SummaryReport() const {
  std::string out;
  out.reserve(160 + records_.size() * 120);
  out += "Summary Report";
  out += kCrLf;
  out += "Variable\tCount\tTotal\tDebits\tCredits\tAverage\tMinimum\tMaximum\tStd Dev";
  out += kCrLf;
  std::int64_t counts = 0;
  Currency amounts, debits, credits;
  for (const Record& r : records_) {
    out += r.key.view();
    out += kTab;
    AppendCount(out, r.count);
    out += kTab;
    AppendAmount2(out, r.amount, kSummaryAmount);
    out += kTab;
    AppendAmount2(out, r.debits, kSummaryAmount);
    out += kTab;
    AppendAmount2(out, r.credits, kSummaryAmount);
    out += kTab;
    AppendAmount2(out, r.mean, kSummaryAmount);
    out += kTab;
    AppendAmount2(out, r.minimum, kSummaryAmount);
    out += kTab;
    AppendAmount2(out, r.maximum, kSummaryAmount);
    out += kTab;
    AppendAmount2(out, r.std, kSummaryAmount);
    out += kCrLf;
    counts += r.count;
    amounts += r.amount;
    debits += r.debits;
    credits += r.credits;
  }
  out += "Totals";
  out += kTab;
  AppendNumber(out, static_cast<double>(counts), kSummaryCount);
  out += kTab;
  AppendNumber(out, amounts, kSummaryAmount);
  out += kTab;
  AppendNumber(out, debits, kSummaryAmount);
  out += kTab;
  AppendNumber(out, credits, kSummaryAmount);
  out += kCrLf;
  return out;
}

std::string cStringArray::DuplicateReport() const {
  std::string out = "Duplicate Report";
  out += kCrLf;
  // The amount columns are dropped only when no item carried an amount at all: a balanced
  // journal also sums to zero and must keep them.
  if (anyAmount_) {
    out += "Variable\tCount\tTotal\tDebits\tCredits";
    out += kCrLf;
    for (const Record& r : records_) {
      if (r.count <= 1) continue;
      out += r.key.view();
      out += kTab;
      AppendCount(out, r.count);
      out += kTab;
      AppendAmount2(out, r.amount, kDuplicateAmount);
      out += kTab;
      AppendAmount2(out, r.debits, kDuplicateAmount);
      out += kTab;
      AppendAmount2(out, r.credits, kDuplicateAmount);
      out += kCrLf;
    }
  } else {
    out += "Variable\tCount";
    out += kCrLf;
    for (const Record& r : records_) {
      if (r.count <= 1) continue;
      out += r.key.view();
      out += kTab;
      AppendCount(out, r.count);
      out += kCrLf;
    }
  }
  return out;
}

void cStringArray::ComputePareto() {
  for (std::size_t k = 0; k < kParetoSlots; ++k) {
    parItem_[k].clear();
    parVal_[k] = 0.0;
  }
  parOther_ = 0.0;
  for (const Record& r : records_) {
    const double v = std::fabs(r.amount.ToDouble());
    std::size_t low = 0;
    for (std::size_t k = 1; k < kParetoSlots; ++k)
      if (parVal_[k] < parVal_[low]) low = k;
    if (v > parVal_[low]) {
      parOther_ += parVal_[low];
      parItem_[low] = r.key.view();
      parVal_[low] = v;
    } else {
      parOther_ += v;
    }
  }
  // Descending; equal values keep their order.
  for (int pass = 0; pass < 26; ++pass) {
    bool swapped = false;
    for (std::size_t k = 0; k + 1 < kParetoSlots; ++k) {
      if (parVal_[k] < parVal_[k + 1]) {
        std::swap(parVal_[k], parVal_[k + 1]);
        std::swap(parItem_[k], parItem_[k + 1]);
        swapped = true;
      }
    }
    if (!swapped) break;
  }
}

// ---------------------------------------------------------------------------------------------
// cStringBy

const cStringBy::Record* cStringBy::At(std::int32_t i) const {
  return InRange(records_, i) ? &records_[static_cast<std::size_t>(i)] : nullptr;
}

std::string cStringBy::ItemText1(std::int32_t i) const {
  const Record* r = At(i);
  return r ? std::string(r->key1.view()) : std::string();
}
std::string cStringBy::ItemText2(std::int32_t i) const {
  const Record* r = At(i);
  return r ? std::string(r->key2.view()) : std::string();
}
std::int32_t cStringBy::ItemCount(std::int32_t i) const {
  const Record* r = At(i);
  return r ? r->count : 0;
}
double cStringBy::ItemAmount(std::int32_t i) const {
  const Record* r = At(i);
  return r ? r->amount : 0.0;
}
double cStringBy::ItemDRAmount(std::int32_t i) const {
  const Record* r = At(i);
  return r ? r->debits : 0.0;
}
double cStringBy::ItemCRAmount(std::int32_t i) const {
  const Record* r = At(i);
  return r ? r->credits : 0.0;
}
double cStringBy::ItemStd(std::int32_t i) const {
  const Record* r = At(i);
  return r ? r->std : 0.0;
}
double cStringBy::ItemMean(std::int32_t i) const {
  const Record* r = At(i);
  return r ? r->mean : 0.0;
}
double cStringBy::ItemMax(std::int32_t i) const {
  const Record* r = At(i);
  return r ? r->maximum : 0.0;
}
double cStringBy::ItemMin(std::int32_t i) const {
  const Record* r = At(i);
  return r ? r->minimum : 0.0;
}

std::uint32_t cStringBy::PairHash(std::string_view s1, std::string_view s2) {
  return KeyIndex::Hash(s2, KeyIndex::Hash(s1));
}

void cStringBy::Item(std::string_view s1, std::string_view s2, double d) {
  const std::int32_t items = AddChecked(itemCount_, 1);
  const double total = Checked(grandTotal_ + Checked(d));

  std::int32_t found = -1;
  std::uint32_t hash = 0;
  const auto matches = [&](std::int32_t k) {
    const Record& r = records_[static_cast<std::size_t>(k)];
    return SameText(r.key1, s1) && SameText(r.key2, s2);
  };
  if (lastIndex_ >= 0 && matches(lastIndex_)) {
    found = lastIndex_;
  } else {
    hash = PairHash(s1, s2);
    found = index_.FindIf(hash, matches);
    if (found >= 0) lastIndex_ = found;
  }

  if (found < 0) {
    if (records_.size() >= static_cast<std::size_t>(INT32_MAX)) Raise(ErrorCode::Overflow);
    Record r;
    r.key1 = detail::KeyText(s1);
    r.key2 = detail::KeyText(s2);
    r.count = 1;
    r.amount = d;
    r.mean = d;
    r.minimum = d;
    r.maximum = d;
    if (d > 0) r.debits = d;
    if (d < 0) r.credits = d;
    records_.push_back(std::move(r));
    index_.Insert(hash, static_cast<std::int32_t>(records_.size() - 1));
  } else {
    Record& r = records_[static_cast<std::size_t>(found)];
    const std::int32_t n = AddChecked(r.count, 1);
    const double amount = Checked(r.amount + d);
    const double debits = d > 0 ? Checked(r.debits + d) : r.debits;
    const double credits = d < 0 ? Checked(r.credits + d) : r.credits;
    const Moments m = NextMoments(n, r.mean, r.std, d);
    r.count = n;
    r.amount = amount;
    r.debits = debits;
    r.credits = credits;
    r.mean = m.mean;
    r.std = m.std;
    if (d < r.minimum) r.minimum = d;
    if (d > r.maximum) r.maximum = d;
  }
  grandTotal_ = total;
  itemCount_ = items;
}

std::string cStringBy::SummaryReport() const {
  std::string out;
  out.reserve(160 + records_.size() * 130);
  out += "Summary Report";
  out += kCrLf;
  out += "Variable1\tVariable 2\tCount\tTotal\tDebits\tCredits\tAverage\tMinimum\tMaximum\tStd Dev";
  out += kCrLf;
  std::int64_t counts = 0;
  double amounts = 0.0, debits = 0.0, credits = 0.0;
  for (const Record& r : records_) {
    out += r.key1.view();
    out += kTab;
    out += r.key2.view();
    out += kTab;
    AppendCount(out, r.count);
    for (double v : {r.amount, r.debits, r.credits, r.mean, r.minimum, r.maximum, r.std}) {
      out += kTab;
      AppendAmount2(out, v, kSummaryAmount);
    }
    out += kCrLf;
    counts += r.count;
    amounts += r.amount;
    debits += r.debits;
    credits += r.credits;
  }
  out += "Totals\t\t";
  AppendNumber(out, static_cast<double>(counts), kSummaryCount);
  for (double v : {amounts, debits, credits}) {
    out += kTab;
    AppendAmount2(out, v, kSummaryAmount);
  }
  out += kCrLf;
  return out;
}

std::string cStringBy::DuplicateReport() const {
  std::string out = "Duplicate Report";
  out += kCrLf;
  out += "Variable1\tVariable2\tCount\tTotal\tDebits\tCredits";
  out += kCrLf;
  std::int64_t counts = 0;
  double debits = 0.0, credits = 0.0;
  for (const Record& r : records_) {
    if (r.count < 2) continue;
    out += r.key1.view();
    out += kTab;
    out += r.key2.view();
    out += kTab;
    AppendCount(out, r.count);
    for (double v : {r.amount, r.debits, r.credits}) {
      out += kTab;
      AppendAmount2(out, v, kSummaryAmount);
    }
    out += kCrLf;
    counts += r.count;
    debits += r.debits;
    credits += r.credits;
  }
  out += "Totals\t\t";
  AppendNumText(out, static_cast<double>(counts));
  for (double v : {debits + credits, debits, credits}) {
    out += kTab;
    AppendAmount2(out, v, kSummaryAmount);
  }
  out += kCrLf;
  return out;
}

void cStringBy::RebuildIndex() {
  index_.Clear();
  for (std::size_t k = 0; k < records_.size(); ++k)
    index_.Insert(PairHash(records_[k].key1, records_[k].key2), static_cast<std::int32_t>(k));
}

void cStringBy::bubblesort(std::int32_t iterations) {
  const std::int32_t passes = static_cast<std::int32_t>(Narrow<std::int16_t>(iterations)) + 1;
  const std::size_t n = records_.size();
  if (passes <= 0 || n < 2) return;

  // Pairs are unique, so the pass's swap test ("first key greater, or equal and second key
  // greater or equal") is a strict order.
  const auto less = [this](std::uint32_t a, std::uint32_t b) {
    const Record& x = records_[a];
    const Record& y = records_[b];
    const int c = x.key1.view().compare(y.key1.view());
    return c < 0 || (c == 0 && x.key2.view() < y.key2.view());
  };
  std::vector<std::uint32_t> order;
  order.reserve(n);
  if (static_cast<std::size_t>(passes) >= n - 1) {
    // n - 1 passes sort any list completely.
    for (std::size_t k = 0; k < n; ++k) order.push_back(static_cast<std::uint32_t>(k));
    std::sort(order.begin(), order.end(), less);
  } else {
    // p passes of neighbour swaps move each record at most p places to the left, and each pass
    // carries the largest record seen so far to the right. Together: position i receives the
    // smallest record not yet placed among the first i + p + 1, which is what a window of
    // p + 1 records, smallest out first, produces; the last p places hold the rest in order.
    const auto greater = [&less](std::uint32_t a, std::uint32_t b) { return less(b, a); };
    std::priority_queue<std::uint32_t, std::vector<std::uint32_t>, decltype(greater)> window(
        greater);
    const auto p = static_cast<std::size_t>(passes);
    for (std::size_t k = 0; k < p; ++k) window.push(static_cast<std::uint32_t>(k));
    for (std::size_t k = p; k < n; ++k) {
      window.push(static_cast<std::uint32_t>(k));
      order.push_back(window.top());
      window.pop();
    }
    while (!window.empty()) {
      order.push_back(window.top());
      window.pop();
    }
  }

  std::vector<Record, detail::LargeAllocator<Record>> sorted;
  sorted.reserve(n);
  std::int32_t remembered = -1;
  for (std::size_t k = 0; k < n; ++k) {
    if (static_cast<std::int32_t>(order[k]) == lastIndex_)
      remembered = static_cast<std::int32_t>(k);
    sorted.push_back(std::move(records_[order[k]]));
  }
  records_ = std::move(sorted);
  // The memory follows its record to its new place, so the next item of that pair still adds
  // to the right record.
  lastIndex_ = remembered;
  RebuildIndex();
}

// ---------------------------------------------------------------------------------------------
// cSimpleArray

std::string cSimpleArray::ItemText(std::int32_t i) const {
  if (i < 0 || i >= completed_) return std::string();
  return rows_[static_cast<std::size_t>(i)].text;
}

double cSimpleArray::ItemAmount(std::int32_t i, std::int16_t& iElem) const {
  if (iElem < 0) iElem = 0;
  if (iElem >= kElements) iElem = kElements - 1;
  if (i < 0 || i >= completed_) return 0.0;
  return rows_[static_cast<std::size_t>(i)].el[static_cast<std::size_t>(iElem)];
}

void cSimpleArray::Item(std::string_view s, double d, std::int16_t iElem, bool bnew) {
  if (iElem < 0 || iElem >= kElements) Raise(ErrorCode::SubscriptOutOfRange);
  const std::int32_t next = bnew ? AddChecked(completed_, 1) : completed_;
  const auto k = static_cast<std::size_t>(completed_);
  if (rows_.size() <= k) rows_.resize(k + 1);
  Row& row = rows_[k];
  row.text.assign(s);
  row.el[static_cast<std::size_t>(iElem)] = d;
  completed_ = next;
}

}  // namespace tarnwick
