#include "tarnwick/audit/stratify.h"

#include <optional>

#include "tarnwick/core/arith.h"
#include "tarnwick/core/default_text.h"
#include "tarnwick/core/error.h"
#include "tarnwick/core/internal/int128.h"
#include "tarnwick/core/numeric_text.h"
#include "tarnwick/core/report_text.h"
#include "tarnwick/core/text.h"

namespace tarnwick {

namespace {

constexpr std::string_view kCountPattern = "###,###,###,###,##0";
constexpr std::string_view kAmountPattern = "###,###,###,###,###.#0";
constexpr std::string_view kSharePattern = "##.###0";
constexpr int kMaxBoundaries = 99;

// A plain signed decimal ("-1234.5678") converted digit by digit, so that boundaries are exact
// whatever their size; beyond four decimals the rounding is halves to even, as for amounts.
std::optional<Currency> PlainDecimal(std::string_view s) {
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  int128_t whole = 0;
  int digits = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, ++digits) {
    whole = whole * 10 + (s[i] - '0');
    if (whole > static_cast<int128_t>(INT64_MAX)) Raise(ErrorCode::Overflow);
  }
  int128_t frac = 0;  // the first four decimals
  int fracDigits = 0;
  int nextDigit = 0;  // the fifth decimal
  bool restNonZero = false;
  if (i < s.size() && s[i] == '.') {
    for (++i; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, ++digits) {
      const int d = s[i] - '0';
      if (fracDigits < 4) {
        frac = frac * 10 + d;
      } else if (fracDigits == 4) {
        nextDigit = d;
      } else if (d != 0) {
        restNonZero = true;
      }
      ++fracDigits;
    }
  }
  if (i != s.size() || digits == 0) return std::nullopt;
  for (int k = fracDigits; k < 4; ++k) frac *= 10;
  int128_t raw = whole * Currency::kScale + frac;
  if (nextDigit > 5 || (nextDigit == 5 && (restNonZero || (raw & 1) != 0))) ++raw;
  if (negative) raw = -raw;
  if (raw > static_cast<int128_t>(INT64_MAX) || raw < static_cast<int128_t>(INT64_MIN))
    Raise(ErrorCode::Overflow);
  return Currency::FromRaw(static_cast<std::int64_t>(raw));
}

std::optional<Currency> BoundaryValue(std::string_view piece) {
  if (auto exact = PlainDecimal(piece)) return exact;
  if (auto v = ParseNumber(piece)) return Currency::FromDouble(*v);
  return std::nullopt;
}

// Length in characters, as the message reports it.
std::size_t CharLength(std::string_view s) {
  std::size_t n = 0;
  for (unsigned char c : s) n += (c & 0xC0) != 0x80;
  return n;
}

void CheckIndex(std::int16_t i) {
  if (i < 0 || i >= cStratify::kSlots) Raise(ErrorCode::SubscriptOutOfRange);
}

void AppendLine(std::string& out, std::string_view label1, std::string_view label2,
                std::int32_t count, Currency amount, double share, double cumulative) {
  out += label1;
  out += kTab;
  out += label2;
  out += kTab;
  AppendNumber(out, static_cast<double>(count), kCountPattern);
  out += kTab;
  AppendNumber(out, amount, kAmountPattern);
  out += kTab;
  AppendNumber(out, share, kSharePattern);
  out += kTab;
  AppendNumber(out, cumulative, kSharePattern);
  out += kCrLf;
}

}  // namespace

cStratify::cStratify() { init(); }

Currency cStratify::ArrAmt(std::int16_t i) const {
  CheckIndex(i);
  return amounts_[static_cast<std::size_t>(i)];
}

std::int32_t cStratify::ArrCnt(std::int16_t i) const {
  CheckIndex(i);
  return counts_[static_cast<std::size_t>(i)];
}

Currency cStratify::ArrVal(std::int16_t i) const {
  CheckIndex(i);
  return vals_[static_cast<std::size_t>(i)];
}

std::int16_t cStratify::stratum(std::string_view sStratum) {
  errMsg_.clear();
  const std::string_view text = TrimView(sStratum);
  definedStrata_ = std::string(text);
  Currency previous = Currency(-999999999.0);
  std::int32_t stored = 0;  // boundaries accepted by this call
  std::size_t pieceNo = 0;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = text.find(' ', start);
    const std::string_view piece =
        text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (!piece.empty()) {
      const std::optional<Currency> v = BoundaryValue(piece);
      if (!v) {
        errMsg_ = "Arg: " + NumText(static_cast<std::int32_t>(pieceNo)) +
                  " is a non numeric argument, " + " len " +
                  NumText(static_cast<std::int32_t>(CharLength(piece))) +
                  " value: " + std::string(piece);
        return -2;
      }
      // Beyond the last slot the pieces are still checked, but only counted: the call ends
      // with "too many arguments" rather than writing past the table.
      if (stored < kSlots) {
        const auto k = static_cast<std::size_t>(stored);
        vals_[k] = *v;
        counts_[k] = 0;
        amounts_[k] = Currency();
        arrSize_ = static_cast<std::int16_t>(stored);
      }
      if (previous > *v) {
        errMsg_ = "Out of sequence: " + NumText(previous) + " > " + NumText(*v);
        return -5;
      }
      previous = *v;
      stored = AddChecked<std::int32_t>(stored, 1);
    }
    if (end == std::string_view::npos) break;
    start = end + 1;
    ++pieceNo;
  }
  if (stored <= 1) {
    errMsg_ = "too few arguments: " + NumText(stored);
    return -3;
  }
  if (stored > kMaxBoundaries) {
    errMsg_ = "too many arguments: " + NumText(stored);
    return -4;
  }
  return static_cast<std::int16_t>(stored);
}

Variant cStratify::init() {
  lowCount_ = 0;
  lowAmount_ = Currency();
  highCount_ = 0;
  highAmount_ = Currency();
  return Variant{};
}

Variant cStratify::AddObs(double d2) {
  const Currency a = Currency::FromDouble(d2);
  if (a < vals_[0]) {
    const std::int32_t n = AddChecked(lowCount_, 1);
    lowAmount_ = lowAmount_ + a;
    lowCount_ = n;
  } else if (arrSize_ < 1 || a > vals_[static_cast<std::size_t>(arrSize_)]) {
    // With no stratum defined there is nowhere else to keep it: see the class comment.
    const std::int32_t n = AddChecked(highCount_, 1);
    highAmount_ = highAmount_ + a;
    highCount_ = n;
  } else {
    for (std::size_t i = 0; i < static_cast<std::size_t>(arrSize_); ++i) {
      if (vals_[i] <= a && a <= vals_[i + 1]) {
        const std::int32_t n = AddChecked(counts_[i], 1);
        amounts_[i] = amounts_[i] + a;
        counts_[i] = n;
        break;
      }
    }
  }
  return Variant{};
}

std::int32_t cStratify::StrataCount(std::int16_t i) const {
  return InDefined(i) ? counts_[static_cast<std::size_t>(i)] : 0;
}

Currency cStratify::StrataAmt(std::int16_t i) const {
  return InDefined(i) ? amounts_[static_cast<std::size_t>(i)] : Currency();
}

Currency cStratify::vals(std::int16_t i) const {
  return InDefined(i) ? vals_[static_cast<std::size_t>(i)] : Currency();
}

std::string cStratify::Report() const {
  std::int32_t totalCount = AddChecked(lowCount_, highCount_);
  Currency totalAmount = lowAmount_ + highAmount_;
  for (std::size_t i = 0; i < static_cast<std::size_t>(arrSize_); ++i) {
    totalCount = AddChecked(totalCount, counts_[i]);
    totalAmount = totalAmount + amounts_[i];
  }
  if (totalCount <= 1) return "insufficient data to stratify (" + NumText(totalCount) + ")";
  const double total = totalAmount.ToDouble();

  std::string out;
  out.reserve(160 + 96 * static_cast<std::size_t>(arrSize_));
  out += "Summary for Strata ";
  out += kTab;
  out += definedStrata_;
  out += kCrLf;
  out += "Start\tEnd\tCount\tAmount\tPct\tCumulative";
  out += kCrLf;
  double share = Div(lowAmount_.ToDouble(), total);
  double cumulative = share;
  AppendLine(out, "Below", "Below", lowCount_, lowAmount_, share, cumulative);
  for (std::size_t i = 0; i < static_cast<std::size_t>(arrSize_); ++i) {
    share = Div(amounts_[i].ToDouble(), total);
    cumulative += share;
    AppendLine(out, NumText(vals_[i]), NumText(vals_[i + 1]), counts_[i], amounts_[i], share,
               cumulative);
  }
  share = Div(highAmount_.ToDouble(), total);
  cumulative += share;
  AppendLine(out, "Above", "Above", highCount_, highAmount_, share, cumulative);
  out += "Totals\ttotals\t";
  AppendNumber(out, static_cast<double>(totalCount), kCountPattern);
  out += kTab;
  AppendNumber(out, totalAmount, kAmountPattern);
  out += kCrLf;
  return out;
}

}  // namespace tarnwick
