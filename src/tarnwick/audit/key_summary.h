#pragma once
// Summaries by text key: cStringArray (one key, fixed-point amounts, Pareto table), cStringBy
// (a pair of keys, double amounts, sortable) and cSimpleArray (a plain list of rows).
//
// Records keep the order in which their keys first appeared and keys match exactly
// (case-sensitive). Keys are found through a hash index over the records, behind the same
// one-entry memory of the last key found, so that a ledger with hundreds of thousands of
// distinct keys summarises in seconds.

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tarnwick/core/currency.h"
#include "tarnwick/core/key_index.h"

namespace tarnwick {

namespace detail {

// Storage for the large per-key arrays: blocks of 2 MB and more are aligned to 2 MB and offered
// to the kernel as huge pages, since random lookups over many keys are otherwise bound by
// address-translation misses.
void* AllocateLarge(std::size_t bytes);
void FreeLarge(void* p, std::size_t bytes) noexcept;

template <class T>
struct LargeAllocator {
  using value_type = T;
  LargeAllocator() = default;
  template <class U>
  LargeAllocator(const LargeAllocator<U>&) noexcept {}  // NOLINT(google-explicit-constructor)
  T* allocate(std::size_t n) { return static_cast<T*>(AllocateLarge(n * sizeof(T))); }
  void deallocate(T* p, std::size_t n) noexcept { FreeLarge(p, n * sizeof(T)); }
  friend bool operator==(const LargeAllocator&, const LargeAllocator&) { return true; }
};

// A key's text, held inside the record up to 28 bytes (most account, vendor and invoice keys),
// so that finding a key reads one record and no second block; longer texts go to the heap.
class KeyText {
 public:
  KeyText() = default;
  explicit KeyText(std::string_view s);
  KeyText(const KeyText& o) : KeyText(o.view()) {}
  KeyText(KeyText&& o) noexcept : size_(o.size_) {
    std::memcpy(buf_, o.buf_, sizeof buf_);
    o.size_ = 0;
  }
  KeyText& operator=(KeyText o) noexcept {
    std::swap(size_, o.size_);
    char tmp[sizeof buf_];
    std::memcpy(tmp, buf_, sizeof buf_);
    std::memcpy(buf_, o.buf_, sizeof buf_);
    std::memcpy(o.buf_, tmp, sizeof buf_);
    return *this;
  }
  ~KeyText() {
    if (size_ > kInline) delete[] Heap();
  }
  std::string_view view() const { return {size_ > kInline ? Heap() : buf_, size_}; }
  operator std::string_view() const { return view(); }  // NOLINT(google-explicit-constructor)

 private:
  static constexpr std::size_t kInline = 28;
  char* Heap() const {
    char* p;
    std::memcpy(&p, buf_, sizeof p);
    return p;
  }
  std::uint32_t size_ = 0;
  char buf_[kInline] = {};  // the text, or the address of its heap copy
};

}  // namespace detail

class cStringArray {
 public:
  static constexpr int kParetoSlots = 11;

  std::string ParItem(std::int16_t i) const;
  double ParVal(std::int16_t i) const;
  double ParOther() const { return parOther_; }
  std::string ItemText(std::int32_t i) const;
  std::int32_t ItemCount(std::int32_t i) const;
  Currency ItemAmount(std::int32_t i) const;
  Currency ItemDRAmount(std::int32_t i) const;
  Currency ItemCRAmount(std::int32_t i) const;
  double ItemStd(std::int32_t i) const;
  double ItemMean(std::int32_t i) const;
  Currency ItemMax(std::int32_t i) const;
  Currency ItemMin(std::int32_t i) const;
  // Index of the last record: the number of keys minus 1.
  std::int32_t TotalCount() const { return static_cast<std::int32_t>(records_.size()) - 1; }
  Currency TotalAmount() const { return Currency::FromDouble(grandTotal_); }
  void Item(std::string_view s, double d = 0.0);
  // Item(keys[i], amounts[i]) for i = 0 ... n - 1, in order. The index slots and records of
  // the whole batch are fetched first, so that over many keys the lookups wait on memory
  // together rather than one after another.
  void Items(const std::string_view* keys, const double* amounts, std::size_t n);
  std::string SummaryReport() const;
  std::string DuplicateReport() const;
  void ComputePareto();

 private:
  struct Record {
    detail::KeyText key;
    std::int32_t count = 0;
    Currency amount, debits, credits, minimum, maximum;
    double mean = 0.0;
    double std = 0.0;
  };
  const Record* At(std::int32_t i) const;
  // Item, with the key's hash when the caller has it already.
  void Add(std::string_view s, double d, const std::uint32_t* knownHash);

  std::vector<Record, detail::LargeAllocator<Record>> records_;
  KeyIndex index_;
  std::int32_t lastIndex_ = -1;  // memory of the last key found
  double grandTotal_ = 0.0;
  std::int32_t itemCount_ = 0;
  bool anyAmount_ = false;  // some item carried a non-zero amount
  std::array<std::string, kParetoSlots> parItem_{};
  std::array<double, kParetoSlots> parVal_{};
  double parOther_ = 0.0;
};

class cStringBy {
 public:
  std::string ItemText1(std::int32_t i) const;
  std::string ItemText2(std::int32_t i) const;
  std::int32_t ItemCount(std::int32_t i) const;
  double ItemAmount(std::int32_t i) const;
  double ItemDRAmount(std::int32_t i) const;
  double ItemCRAmount(std::int32_t i) const;
  double ItemStd(std::int32_t i) const;
  double ItemMean(std::int32_t i) const;
  double ItemMax(std::int32_t i) const;
  double ItemMin(std::int32_t i) const;
  std::int32_t TotalCount() const { return static_cast<std::int32_t>(records_.size()) - 1; }
  double TotalAmount() const { return grandTotal_; }
  void Item(std::string_view s1, std::string_view s2, double d);
  std::string SummaryReport() const;
  std::string DuplicateReport() const;
  // Sorts by the first key, then the second, ascending by character code, with at most
  // iterations + 1 bubble passes: the order is exactly that of the passes, also when they stop
  // before the records are sorted.
  void bubblesort(std::int32_t iterations);

 private:
  struct Record {
    detail::KeyText key1, key2;
    std::int32_t count = 0;
    double amount = 0.0, debits = 0.0, credits = 0.0, minimum = 0.0, maximum = 0.0;
    double mean = 0.0;
    double std = 0.0;
  };
  const Record* At(std::int32_t i) const;
  static std::uint32_t PairHash(std::string_view s1, std::string_view s2);
  void RebuildIndex();

  std::vector<Record, detail::LargeAllocator<Record>> records_;
  KeyIndex index_;
  std::int32_t lastIndex_ = -1;
  double grandTotal_ = 0.0;
  std::int32_t itemCount_ = 0;
};

class cSimpleArray {
 public:
  static constexpr int kElements = 6;

  std::string ItemText(std::int32_t i) const;
  // iElem is clamped into 0..5 and written back.
  double ItemAmount(std::int32_t i, std::int16_t& iElem) const;
  std::int32_t TotalCount() const { return completed_; }
  void Item(std::string_view s, double d, std::int16_t iElem, bool bnew);

 private:
  struct Row {
    std::string text;
    std::array<double, kElements> el{};
  };
  std::vector<Row> rows_;
  std::int32_t completed_ = 0;
};

}  // namespace tarnwick
