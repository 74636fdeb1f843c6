#include "tarnwick/stats/sequences.h"

#include <charconv>

#include "tarnwick/core/arith.h"
#include "tarnwick/core/default_text.h"
#include "tarnwick/core/error.h"
#include "tarnwick/core/report_text.h"
#include "tarnwick/platform/notice.h"
#include "tarnwick/stats/external_sort.h"

namespace tarnwick {

namespace {

constexpr std::int32_t kFirstReserve = 50001;
constexpr std::int32_t kReserveStep = 50000;

void AppendInt(std::string& out, std::int64_t v) {
  char buf[24];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, r.ptr);
}

}  // namespace

void cLongArray::AddItem(std::int32_t d) {
  // Work out every new figure first so a failed append leaves the array as it was.
  try {
    const std::int32_t count = AddChecked(count_, std::int32_t{1});
    std::int32_t capacity = capacity_;
    if (capacity == 0) {
      capacity = kFirstReserve;
    } else if (count_ >= capacity) {
      capacity = AddChecked(capacity, kReserveStep);
    }
    const Currency total = total_ + Currency::FromRaw(std::int64_t{d} * Currency::kScale);
    values_.push_back(d);
    count_ = count;
    capacity_ = capacity;
    total_ = total;
  } catch (const EngineError&) {
    Notify("ilastitem:" + NumText(count_) + " dtot " + NumText(total_));
  }
}

std::int32_t cLongArray::Element(std::int32_t i) const {
  if (i < 0 || i >= count_) return 0;
  return values_[static_cast<std::size_t>(i)];
}

void cLongArray::SortArray() {
  mQSort::QSort(values_.data(), values_.size(), sizeof(std::int32_t), mQSort::CompareLong);
}

std::int32_t cLongArray::Percentile(std::int32_t i) const {
  if (i < 0 || i > 99) return 0;
  // i * count stays exact in a double, so halves land exactly on .5 and round to even.
  const double pos = RoundHalfEven(static_cast<double>(i) * count_ / 100.0);
  return Element(static_cast<std::int32_t>(pos));
}

std::string cLongArray::CountGaps() {
  gapCount_ = 0;
  missingCount_ = 0;
  std::string out = "Gaps: ";
  if (count_ < 2) return out;
  std::int32_t gaps = 0, missing = 0;
  for (std::size_t k = 0; k + 1 < values_.size(); ++k) {
    const std::int64_t d = std::int64_t{values_[k + 1]} - values_[k];
    if (d > 1) {
      gaps = AddChecked(gaps, std::int32_t{1});
      missing = AddChecked(missing, Narrow<std::int32_t>(d - 1));
      gapCount_ = gaps;
      missingCount_ = missing;
    }
  }
  out += "Count: ";
  AppendInt(out, gaps);
  out += " Missing: ";
  AppendInt(out, missing);
  return out;
}

std::string cLongArray::Gaps() {
  std::string out = CountGaps();
  out += kCrLf;
  out += "Start\tEnd\tGap\r\n";
  for (std::size_t k = 0; k + 1 < values_.size(); ++k) {
    const std::int64_t d = std::int64_t{values_[k + 1]} - values_[k];
    if (d > 1) {
      AppendInt(out, values_[k]);
      out += kTab;
      AppendInt(out, values_[k + 1]);
      out += kTab;
      AppendInt(out, d - 1);
      out += kCrLf;
    }
  }
  return out;
}

double cLongArray::SeqPct() {
  seqPct_ = 0.0;
  if (count_ < 2) return seqPct_;
  std::int64_t consecutive = 0;
  for (std::size_t k = 0; k + 1 < values_.size(); ++k)
    if (std::int64_t{values_[k + 1]} - values_[k] == 1) ++consecutive;
  seqPct_ = static_cast<double>(consecutive) / (count_ - 1);
  return seqPct_;
}

}  // namespace tarnwick
