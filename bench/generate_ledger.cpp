// Deterministic payments ledger with planted findings, for the examples, the demo and the
// benchmarks. The same seed and row count always give the same bytes.
//
//   generate_ledger --rows N [--seed S] [--out FILE] [--vendors K]
//
// Columns (tab-separated, header line): Vendor, InvNum, InvDate, Amount, Account, CheckNum,
// Phone. Planted: exact duplicate invoices, near-miss invoice numbers, split purchases just
// under 5,000 on one day, weekend and holiday postings, round amounts, gaps in the cheque
// sequence, and one vendor (V0013) whose amounts ignore Benford's law.

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tarnwick/core/date.h"

namespace {

// splitmix64: tiny, fast and identical on every platform.
struct Rng {
  std::uint64_t s;
  std::uint64_t Next() {
    std::uint64_t z = (s += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
  std::uint64_t Below(std::uint64_t n) { return Next() % n; }
};

struct Row {
  int vendor;
  std::string inv;
  int date;  // serial day
  std::int64_t cents;
  int account;
  std::int64_t check;
  std::string phone;
};

constexpr int kAccounts[] = {5100, 5110, 5200, 5300, 5410, 6100, 6150, 6200, 7100, 7300};
constexpr int kAreaCodes[] = {201, 212, 213, 305, 312, 408, 415, 512,
                              617, 702, 713, 808, 907, 416, 604};

class Writer {
 public:
  explicit Writer(std::FILE* f) : f_(f) { buf_.reserve(1 << 20); }
  ~Writer() { Flush(); }
  void Put(std::string_view s) {
    buf_.append(s);
    if (buf_.size() > (1 << 20) - 256) Flush();
  }
  void Int(std::int64_t v) {
    char b[24];
    auto r = std::to_chars(b, b + sizeof b, v);
    buf_.append(b, static_cast<std::size_t>(r.ptr - b));
  }
  void Flush() {
    if (!buf_.empty() && std::fwrite(buf_.data(), 1, buf_.size(), f_) != buf_.size()) {
      std::perror("generate_ledger: write");
      std::exit(1);
    }
    buf_.clear();
  }

 private:
  std::FILE* f_;
  std::string buf_;
};

void WriteRow(Writer& w, const Row& r) {
  char vendor[8];
  std::snprintf(vendor, sizeof vendor, "V%04d", r.vendor);
  w.Put(vendor);
  w.Put("\t");
  w.Put(r.inv);
  w.Put("\t");
  const tarnwick::YearMonthDay ymd = tarnwick::CivilFromDays(r.date);
  w.Int(ymd.month);
  w.Put("/");
  w.Int(ymd.day);
  w.Put("/");
  w.Int(ymd.year);
  w.Put("\t");
  // amounts as plain decimals: -12.5, 77.8, 59 (trailing zeros dropped, as ledgers export them)
  std::int64_t c = r.cents;
  if (c < 0) {
    w.Put("-");
    c = -c;
  }
  w.Int(c / 100);
  if (c % 100 != 0) {
    w.Put(".");
    const int f = static_cast<int>(c % 100);
    char b[3] = {static_cast<char>('0' + f / 10), static_cast<char>('0' + f % 10), 0};
    w.Put(f % 10 == 0 ? std::string_view(b, 1) : std::string_view(b, 2));
  }
  w.Put("\t");
  w.Int(r.account);
  w.Put("\t");
  w.Int(r.check);
  w.Put("\t");
  w.Put(r.phone);
  w.Put("\n");
}

// A business day of 2023, most of them; callers plant the weekend and holiday ones.
int BusinessDay(Rng& rng, int first, int days) {
  for (;;) {
    const int d = first + static_cast<int>(rng.Below(static_cast<std::uint64_t>(days)));
    const int wd = static_cast<int>(((d + 6) % 7 + 7) % 7) + 1;  // 1 = Sunday
    if (wd != 1 && wd != 7) return d;
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::int64_t rows = 5000;
  std::uint64_t seed = 20231231;
  int vendors = 400;
  const char* out = nullptr;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto next = [&]() -> const char* {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "generate_ledger: %s needs a value\n", a.c_str());
        std::exit(2);
      }
      return argv[++i];
    };
    if (a == "--rows")
      rows = std::atoll(next());
    else if (a == "--seed")
      seed = std::strtoull(next(), nullptr, 10);
    else if (a == "--vendors")
      vendors = std::atoi(next());
    else if (a == "--out")
      out = next();
    else {
      std::fprintf(stderr,
                   "usage: generate_ledger --rows N [--seed S] [--vendors K] [--out FILE]\n");
      return 2;
    }
  }
  if (rows < 1 || vendors < 20) {
    std::fprintf(stderr, "generate_ledger: --rows must be at least 1 and --vendors at least 20\n");
    return 2;
  }
  std::FILE* f = out ? std::fopen(out, "wb") : stdout;
  if (f == nullptr) {
    std::perror(out);
    return 1;
  }
  Rng rng{seed};
  Writer w(f);
  w.Put("Vendor\tInvNum\tInvDate\tAmount\tAccount\tCheckNum\tPhone\n");

  const int first = static_cast<int>(tarnwick::DaysFromCivil(2023, 1, 1));
  const int days = 365;
  const int holidays[] = {static_cast<int>(tarnwick::DaysFromCivil(2023, 7, 4)),
                          static_cast<int>(tarnwick::DaysFromCivil(2023, 12, 25)),
                          static_cast<int>(tarnwick::DaysFromCivil(2023, 11, 23))};
  std::vector<std::string> phones(static_cast<std::size_t>(vendors) + 1);
  for (int v = 1; v <= vendors; ++v) {
    char p[24];
    std::snprintf(p, sizeof p, "(%d) 555-%04d", kAreaCodes[rng.Below(std::size(kAreaCodes))],
                  static_cast<int>(rng.Below(10000)));
    phones[static_cast<std::size_t>(v)] = p;
  }

  std::int64_t check = 100001;
  std::int64_t invoiceNo = 10000;
  bool haveLast = false;
  for (std::int64_t n = 0; n < rows;) {
    Row r;
    // A few vendors carry most of the volume, as in real payables.
    const double u = rng.Uniform();
    r.vendor = 1 + static_cast<int>(std::floor(std::pow(u, 2.2) * vendors));
    if (r.vendor > vendors) r.vendor = vendors;
    r.account = kAccounts[rng.Below(std::size(kAccounts))];
    r.phone = phones[static_cast<std::size_t>(r.vendor)];
    r.date = BusinessDay(rng, first, days);
    // log-uniform amounts over six decades follow Benford's law closely
    double amount = std::pow(10.0, 0.5 + 5.5 * rng.Uniform());
    if (r.vendor == 13) amount = 7000.0 + 2999.0 * rng.Uniform();  // invented figures
    r.cents = static_cast<std::int64_t>(std::llround(amount * 100.0));
    if (rng.Below(100) < 3) r.cents = -r.cents / 10;  // credit notes
    if (rng.Below(200) == 0)
      r.cents = static_cast<std::int64_t>(1 + rng.Below(10)) * 100000;  // round
    if (rng.Below(500) == 0) r.date = holidays[rng.Below(3)];
    if (rng.Below(300) == 0) r.date = first + 7 * static_cast<int>(rng.Below(52));  // a Sunday
    r.inv = "INV" + std::to_string(invoiceNo++);
    if (rng.Below(700) == 0)
      check += 1 + static_cast<std::int64_t>(rng.Below(3));  // a gap in the cheque run
    r.check = check++;

    WriteRow(w, r);
    ++n;
    const std::uint64_t plant = rng.Below(1000);
    if (haveLast && plant < 4 && n < rows) {  // exact duplicate of this invoice
      Row d = r;
      d.check = check++;
      WriteRow(w, d);
      ++n;
    } else if (plant < 7 && n < rows) {  // near miss: two digits of the number swapped
      Row d = r;
      std::string& s = d.inv;
      std::swap(s[s.size() - 1], s[s.size() - 2]);
      if (s == r.inv) s.back() = s.back() == '9' ? '8' : static_cast<char>(s.back() + 1);
      d.date = r.date + 1;
      d.check = check++;
      WriteRow(w, d);
      ++n;
    } else if (plant < 9) {  // split purchase: several invoices just under 5,000 the same day
      const int parts = 2 + static_cast<int>(rng.Below(3));
      for (int k = 0; k < parts && n < rows; ++k) {
        Row d = r;
        d.inv = "INV" + std::to_string(invoiceNo++);
        d.cents = 480000 + static_cast<std::int64_t>(rng.Below(19900));
        d.check = check++;
        WriteRow(w, d);
        ++n;
      }
    }
    haveLast = true;
  }
  w.Flush();
  if (out && std::fclose(f) != 0) {
    std::perror(out);
    return 1;
  }
  return 0;
}
