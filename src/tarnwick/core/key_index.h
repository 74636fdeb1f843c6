#pragma once
// KeyIndex: finds a text key among records in constant time. The keys stay in the caller's
// records (no second copy); the index keeps a 32-bit hash and the record number per slot, in
// one flat open-addressing table. Record numbers are 0-based and at most 2^31 - 2.
//
//   KeyIndex index;
//   const auto h = KeyIndex::Hash(key);
//   int32_t i = index.Find(key, h, [&](int32_t r) { return std::string_view(records[r].key); });
//   if (i < 0) { records.push_back(...); index.Insert(h, records.size() - 1); }

#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace tarnwick {

class KeyIndex {
 public:
  // `seed` chains keys: Hash(second, Hash(first)) is the hash of the pair.
  static std::uint32_t Hash(std::string_view key, std::uint32_t seed = 0) {
    // 64-bit multiply-mix over 8-byte words, folded to 32 bits; fast for the short keys of
    // ledgers (vendor numbers, accounts) and well spread for long ones.
    std::uint64_t h = 0x9e3779b97f4a7c15ULL ^ key.size() ^ (static_cast<std::uint64_t>(seed) << 32);
    const char* p = key.data();
    std::size_t n = key.size();
    while (n >= 8) {
      std::uint64_t w;
      std::memcpy(&w, p, 8);
      h = (h ^ w) * 0xff51afd7ed558ccdULL;
      h ^= h >> 32;
      p += 8;
      n -= 8;
    }
    if (n > 0) {
      // The last 1-7 bytes without a byte loop: two overlapping 4-byte loads, or three bytes
      // (the length, already in h, tells the overlaps apart).
      std::uint64_t w;
      if (n >= 4) {
        std::uint32_t a, b;
        std::memcpy(&a, p, 4);
        std::memcpy(&b, p + n - 4, 4);
        w = (static_cast<std::uint64_t>(a) << 32) | b;
      } else {
        const auto byte = [p](std::size_t k) {
          return static_cast<std::uint64_t>(static_cast<unsigned char>(p[k]));
        };
        w = byte(0) | (byte(n / 2) << 8) | (byte(n - 1) << 16);
      }
      h = (h ^ w) * 0xc4ceb9fe1a85ec53ULL;
    }
    h ^= h >> 29;
    h *= 0xbf58476d1ce4e5b9ULL;
    h ^= h >> 32;
    return static_cast<std::uint32_t>(h);
  }

  // The record whose key equals `key` (exact bytes), or -1.
  template <class KeyOf>
  std::int32_t Find(std::string_view key, std::uint32_t hash, KeyOf&& keyOf) const {
    return FindIf(hash, [&](std::int32_t r) { return keyOf(r) == key; });
  }
  // The first record with this hash for which equal(record) holds, or -1; for keys that are
  // not one text (a pair of texts, say).
  template <class Equal>
  std::int32_t FindIf(std::uint32_t hash, Equal&& equal) const {
    if (slots_.empty()) return -1;
    for (std::size_t i = hash & mask_;; i = (i + 1) & mask_) {
      const Slot s = slots_[i];
      if (s.record < 0) return -1;
      if (s.hash == hash && equal(s.record)) return s.record;
    }
  }

  // Cache warming for a coming Find, in two steps: the home slot of a hash; then, once that
  // is in cache, the record of the first slot with that hash (-1 when none), for the caller
  // to fetch.
  void PrefetchSlot(std::uint32_t hash) const {
    if (!slots_.empty()) __builtin_prefetch(&slots_[hash & mask_]);
  }
  std::int32_t Peek(std::uint32_t hash) const {
    if (slots_.empty()) return -1;
    for (std::size_t i = hash & mask_;; i = (i + 1) & mask_) {
      const Slot s = slots_[i];
      if (s.record < 0 || s.hash == hash) return s.record;
    }
  }

  // Adds a record known not to be present.
  void Insert(std::uint32_t hash, std::int32_t record) {
    if ((count_ + 1) * 2 > slots_.size()) Grow();
    Place(hash, record);
    ++count_;
  }

  void Clear() {
    slots_.clear();
    mask_ = 0;
    count_ = 0;
  }
  std::size_t size() const { return count_; }

 private:
  struct Slot {
    std::uint32_t hash;
    std::int32_t record;  // -1: empty
  };
  void Place(std::uint32_t hash, std::int32_t record) {
    std::size_t i = hash & mask_;
    while (slots_[i].record >= 0) i = (i + 1) & mask_;
    slots_[i] = Slot{hash, record};
  }
  void Grow() {
    std::vector<Slot> old;
    old.swap(slots_);
    const std::size_t n = old.empty() ? 64 : old.size() * 2;
    slots_.assign(n, Slot{0, -1});
    mask_ = n - 1;
    for (const Slot& s : old)
      if (s.record >= 0) Place(s.hash, s.record);
  }

  std::vector<Slot> slots_;
  std::size_t mask_ = 0;
  std::size_t count_ = 0;
};

// Applies a batch of keyed items in order: hashes of up to 32 keys are taken and their index
// slots fetched, then the records those slots name, and only then is apply(i, hash) called
// for each; over many keys the cache misses of the batch overlap instead of queueing.
//   hashOf(i) -> the hash of item i; recordAddress(r) -> address of record r;
//   index: PrefetchSlot(hash) and Peek(hash) -> record or -1.
template <class Hash, class Index, class HashOf, class RecordAddress, class Apply>
void ApplyFetchedAhead(std::size_t n, const Index& index, HashOf&& hashOf,
                       RecordAddress&& recordAddress, Apply&& apply) {
  constexpr std::size_t kAhead = 32;  // about as many misses as a core keeps in flight
  Hash hashes[kAhead];
  for (std::size_t from = 0; from < n; from += kAhead) {
    const std::size_t m = n - from < kAhead ? n - from : kAhead;
    for (std::size_t i = 0; i < m; ++i) {
      hashes[i] = hashOf(from + i);
      index.PrefetchSlot(hashes[i]);
    }
    for (std::size_t i = 0; i < m; ++i) {
      const std::int32_t r = index.Peek(hashes[i]);
      if (r >= 0) __builtin_prefetch(recordAddress(r), 1);
    }
    for (std::size_t i = 0; i < m; ++i) apply(from + i, hashes[i]);
  }
}

}  // namespace tarnwick
