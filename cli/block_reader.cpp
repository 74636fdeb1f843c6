#include "block_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "sources.h"
#include "tarnwick/core/default_text.h"
#include "tarnwick/core/error.h"
#include "tarnwick/core/internal/field_split.h"
#include "tarnwick/data/typed_reader.h"

namespace tarnwick::cli {

namespace {

constexpr char kBom[] = "\xEF\xBB\xBF";

// Where a value lies: in the block's bytes, or (a comma record with a quote) in its unquoted
// copy.
struct Ref {
  std::uint32_t from = 0;
  std::uint32_t len = 0;
};

enum class Fault : std::uint8_t { kNone, kTooManyFields, kNotClosed, kThrown };

// The quote states of a comma-separated record, as CommaRecord reads them: a quote opens a
// quoted field only at the start of a field.
enum QuoteState : std::uint8_t { kStart, kUnquoted, kQuoted, kQuoteSeen };

// The end of the last (or the `first`) whole record in data[0, n), which begins with a
// record: the offset after its line end, 0 when no record ends there. A comma record still
// open after more than cNFile::kMaxQuotedRecord bytes ends where the one-thread reader gives up
// on it, so the worker meets the same failure on the same line.
std::size_t RecordEnd(const char* data, std::size_t n, bool comma, bool first) {
  if (!comma || std::memchr(data, '"', n) == nullptr) {
    const void* nl = first ? std::memchr(data, '\n', n) : memrchr(data, '\n', n);
    return nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - data) + 1 : 0;
  }
  std::size_t last = 0, lineStart = 0, measure = 0, lines = 0;
  QuoteState st = kStart;
  for (std::size_t i = 0; i < n; ++i) {
    const char c = data[i];
    if (c == '\n') {
      if (st == kQuoted) {
        std::size_t len = i - lineStart;
        if (len > 0 && data[i - 1] == '\r') --len;
        measure += len + (lines > 0 ? 1 : 0);
        ++lines;
        if (lines >= 2 && measure > cNFile::kMaxQuotedRecord) {
          last = i + 1;
          if (first) return last;
          st = kStart;
          measure = lines = 0;
        }
      } else {
        last = i + 1;
        if (first) return last;
        st = kStart;
        measure = lines = 0;
      }
      lineStart = i + 1;
      continue;
    }
    switch (st) {
      case kStart: st = c == '"' ? kQuoted : c == ',' ? kStart : kUnquoted; break;
      case kUnquoted: if (c == ',') st = kStart; break;
      case kQuoted: if (c == '"') st = kQuoteSeen; break;
      case kQuoteSeen: st = c == '"' ? kQuoted : c == ',' ? kStart : kUnquoted; break;
    }
  }
  return last;
}

}  // namespace

struct BlockReader::Block {
  std::string data;      // whole records, from the start of one
  bool last = false;     // the file ends with this block
  bool done = false;     // processed by a worker
  std::int64_t bytes = 0;  // file bytes the block stands for
  // What the worker found.
  std::size_t rows = 0;
  std::int64_t lines = 0;              // physical lines in the block
  std::vector<Ref> values;             // rows x keep
  std::vector<Ref> lineRefs;           // per row: its first line (tab files: the whole line)
  std::vector<std::uint8_t> quoted;    // per row: values in `unquoted`
  std::vector<FilterOutcome> outcomes; // per row, when filtered
  // per row and Layout::numbers / dates column: read (1) or not, and the value
  std::vector<std::uint8_t> numberOk, dateOk;
  std::vector<double> numbers;
  std::vector<Date> dates;
  std::string unquoted;
  // A failure at row `faultRow` (rows before it are good), on block line `faultLine` (from 1).
  Fault fault = Fault::kNone;
  std::size_t faultRow = 0;
  std::int64_t faultLine = 0;
  std::exception_ptr thrown;

  void Reset() {
    last = done = false;
    bytes = 0;
    rows = 0;
    lines = 0;
    values.clear();
    lineRefs.clear();
    quoted.clear();
    outcomes.clear();
    numberOk.clear();
    dateOk.clear();
    numbers.clear();
    dates.clear();
    unquoted.clear();
    fault = Fault::kNone;
    faultRow = 0;
    faultLine = 0;
    thrown = nullptr;
  }
};

std::size_t BlockReader::DefaultBlockBytes() {
  if (const char* v = std::getenv("TARNWICK_BLOCK_BYTES"); v != nullptr && *v != '\0') {
    const long long n = std::atoll(v);
    if (n >= 1) return static_cast<std::size_t>(n);
  }
  return std::size_t{1} << 20;
}

BlockReader::BlockReader(const std::string& path, Layout layout, int threads, FilterSetup filter,
                         std::size_t blockBytes)
    : path_(path), layout_(layout), filter_(std::move(filter)), blockBytes_(std::max<std::size_t>(blockBytes, 1)) {
  const int n = std::max(threads, 1);
  // A few blocks per worker keep them busy while the caller takes one; no more, for memory.
  maxBlocks_ = static_cast<std::size_t>(n) * 2 + 2;
  values_.assign(layout_.columns + 1, std::string_view());
  numberOk_.assign(layout_.numbers.size(), 0);
  number_.assign(layout_.numbers.size(), 0.0);
  dateOk_.assign(layout_.dates.size(), 0);
  date_.assign(layout_.dates.size(), Date());
  struct stat st {};
  if (::stat(path_.c_str(), &st) == 0) size_ = static_cast<std::int64_t>(st.st_size);
  reader_ = std::thread([this] { ReadAll(); });
  for (int w = 0; w < n; ++w) workers_.emplace_back([this, w] { Work(w); });
}

BlockReader::~BlockReader() { Stop(); }

void BlockReader::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  if (reader_.joinable()) reader_.join();
  for (std::thread& t : workers_) {
    if (t.joinable()) t.join();
  }
}

void BlockReader::ReadAll() {
  int fd = -1;
  try {
    fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) Raise(ErrorCode::FileAccess, std::strerror(errno));
    std::string carry;
    bool eof = false;
    std::int64_t taken = 0;  // file bytes handed out in blocks (or skipped)
    // Appends at least `want` bytes unless the file ends first.
    auto readMore = [&](std::size_t want) {
      const std::size_t target = carry.size() + want;
      while (!eof && carry.size() < target) {
        const std::size_t at = carry.size();
        carry.resize(target);
        const ssize_t got = ::read(fd, carry.data() + at, carry.size() - at);
        if (got < 0) {
          carry.resize(at);
          if (errno == EINTR) continue;
          Raise(ErrorCode::FileAccess, std::strerror(errno));
        }
        carry.resize(at + static_cast<std::size_t>(got));
        if (got == 0) eof = true;
      }
    };
    // The next whole records at the front of `carry`: their length (all of it at the end).
    auto cut = [&]() -> std::size_t {
      for (;;) {
        if (eof) return carry.size();
        const std::size_t end = RecordEnd(carry.data(), carry.size(), layout_.comma, false);
        if (end > 0) return end;
        readMore(std::max(carry.size(), blockBytes_));  // a record longer than the block
      }
    };
    readMore(3);
    if (carry.compare(0, 3, kBom, 3) == 0) {
      carry.erase(0, 3);
      taken = 3;
    }
    // The header record, read by the caller already: skip it and count its lines.
    std::size_t headerEnd = 0;
    while ((headerEnd = RecordEnd(carry.data(), carry.size(), layout_.comma, true)) == 0 && !eof)
      readMore(std::max(carry.size(), blockBytes_));
    if (headerEnd == 0) headerEnd = carry.size();
    headerLines_ = std::count(carry.data(), carry.data() + headerEnd, '\n');
    carry.erase(0, headerEnd);
    taken += static_cast<std::int64_t>(headerEnd);
    for (;;) {
      if (carry.size() < blockBytes_) readMore(blockBytes_ - carry.size());
      if (carry.empty() && eof) break;
      const std::size_t end = cut();
      std::unique_ptr<Block> b;
      {
        // a block the caller is done with: its buffers are grown already
        std::lock_guard<std::mutex> lock(mutex_);
        if (!free_.empty()) {
          b = std::move(free_.back());
          free_.pop_back();
        }
      }
      if (!b) b = std::make_unique<Block>();
      b->Reset();
      std::swap(b->data, carry);
      carry.assign(b->data, end, std::string::npos);
      b->data.resize(end);
      b->bytes = static_cast<std::int64_t>(b->data.size()) + taken;
      taken = 0;
      if (carry.empty() && !eof) readMore(1);
      b->last = eof && carry.empty();
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [&] { return stop_ || blocks_.size() < maxBlocks_; });
      if (stop_) break;
      todo_.push_back(b.get());
      blocks_.push_back(std::move(b));
      lock.unlock();
      changed_.notify_all();
      if (carry.empty() && eof) break;
    }
  } catch (...) {
    std::lock_guard<std::mutex> lock(mutex_);
    readerError_ = std::current_exception();
  }
  if (fd >= 0) ::close(fd);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    readerDone_ = true;
  }
  changed_.notify_all();
}

void BlockReader::Work(int /*worker*/) {
  std::unique_ptr<cParse> parser;
  std::unique_ptr<cOP> op;
  if (filter_) {
    parser = std::make_unique<cParse>();
    op = std::make_unique<cOP>();
    filter_(*parser, *op);
  }
  std::string scratch;
  for (;;) {
    Block* b = nullptr;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [&] { return stop_ || !todo_.empty() || readerDone_; });
      if (stop_ || todo_.empty()) return;
      b = todo_.front();
      todo_.pop_front();
    }
    Process(*b, parser.get(), op.get(), scratch);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      b->done = true;
    }
    changed_.notify_all();
  }
}

namespace {

// The filter's outcome for one row, counted as the runner counts it on one thread: a failed
// operation, or an answer that is not a truth value, means the row could not be evaluated.
FilterOutcome Ask(cParse& parser, cOP& op, std::string_view line) {
  const bool selected = parser.SelectRow(line, op);
  if (op.AnyErr() || (!selected && op.ans() != "FALSE")) return FilterOutcome::kNotEvaluated;
  return selected ? FilterOutcome::kSelected : FilterOutcome::kNotSelected;
}

}  // namespace

void BlockReader::Process(Block& b, cParse* parser, cOP* op, std::string& scratch) const {
  const char* d = b.data.data();
  const std::size_t n = b.data.size();
  std::size_t pos = 0;
  std::int64_t line = 0;
  // The next physical line as TextReader gives it: LF or CR LF ends it, and the last line of
  // the file may have no end.
  auto nextLine = [&](std::string_view& out) {
    if (pos >= n) return false;
    const void* nl = std::memchr(d + pos, '\n', n - pos);
    const std::size_t end = nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - d) : n;
    std::size_t len = end - pos;
    if (len > 0 && d[pos + len - 1] == '\r') --len;
    out = std::string_view(d + pos, len);
    pos = nl ? end + 1 : n;
    ++line;
    return true;
  };
  auto at = [d](std::string_view v) { return static_cast<std::uint32_t>(v.data() - d); };
  const std::size_t keep = layout_.keep;
  std::vector<std::string_view> split(std::max<std::size_t>(keep, 1));
  // The numbers and dates of the row just stored.
  auto convert = [&](std::string_view base) {
    const Ref* v = b.values.data() + b.values.size() - keep;
    for (const int c : layout_.numbers) {
      const auto x = static_cast<std::size_t>(c) < keep ? ParseNumber(base.substr(v[c].from, v[c].len))
                                                        : std::optional<double>();
      b.numberOk.push_back(x.has_value());
      b.numbers.push_back(x.value_or(0.0));
    }
    for (const int c : layout_.dates) {
      const auto x = static_cast<std::size_t>(c) < keep ? ParseDate(base.substr(v[c].from, v[c].len), layout_.order)
                                                        : std::optional<Date>();
      b.dateOk.push_back(x.has_value());
      b.dates.push_back(x.value_or(Date()));
    }
  };
  CommaRecord comma;
  std::string_view ln;
  while (nextLine(ln)) {
    const std::size_t r = b.rows;
    try {
      if (!layout_.comma) {
        const std::size_t k = SplitTabInto(ln, split.data(), keep);
        for (std::size_t j = 0; j < keep; ++j)
          b.values.push_back(j < k ? Ref{at(split[j]), static_cast<std::uint32_t>(split[j].size())} : Ref{});
        b.lineRefs.push_back({at(ln), static_cast<std::uint32_t>(ln.size())});
        b.quoted.push_back(0);
        convert(b.data);
        if (parser) b.outcomes.push_back(Ask(*parser, *op, ln));
        ++b.rows;
        continue;
      }
      const std::int64_t recordLine = line;
      bool unclosed = false;
      if (!comma.Start(ln, cNFile::kMaxCommaFields)) {
        // A quoted line break: the record goes on, as far as the one-thread reader reads it.
        std::size_t measure = ln.size();
        for (;;) {
          std::string_view next;
          if (!nextLine(next)) {
            comma.Finish();
            unclosed = true;
            break;
          }
          measure += 1 + next.size();
          if (comma.Continue(next)) break;
          if (measure > cNFile::kMaxQuotedRecord) {
            comma.Finish();
            unclosed = true;
            break;
          }
        }
      }
      // Too many fields is the later complaint of the two on one thread, so it is the one told.
      const Fault fault = comma.Total() > cNFile::kMaxCommaFields ? Fault::kTooManyFields
                          : unclosed                             ? Fault::kNotClosed
                                                                 : Fault::kNone;
      if (fault != Fault::kNone) {
        b.fault = fault;
        b.faultRow = r;
        b.faultLine = recordLine;
        break;
      }
      const auto& spans = comma.Spans();
      const std::size_t kept = spans.size();
      std::uint32_t base = at(ln);
      if (comma.Quoted()) {
        base = static_cast<std::uint32_t>(b.unquoted.size());
        b.unquoted.append(comma.Text());
      }
      for (std::size_t j = 0; j < keep; ++j)
        b.values.push_back(j < kept ? Ref{base + spans[j].from, spans[j].len} : Ref{});
      b.lineRefs.push_back({at(ln), static_cast<std::uint32_t>(ln.size())});
      b.quoted.push_back(comma.Quoted() ? 1 : 0);
      convert(comma.Quoted() ? std::string_view(b.unquoted) : std::string_view(b.data));
      if (parser) {
        // the filter reads the values joined by TAB, as the runner rebuilds the row
        scratch.clear();
        const std::size_t first = b.values.size() - keep;
        const std::string_view from = comma.Quoted() ? std::string_view(b.unquoted) : std::string_view(b.data);
        for (std::size_t j = 0; j < layout_.columns; ++j) {
          if (j) scratch += '\t';
          if (j < keep) scratch.append(from.substr(b.values[first + j].from, b.values[first + j].len));
        }
        b.outcomes.push_back(Ask(*parser, *op, scratch));
      }
      ++b.rows;
    } catch (...) {
      b.values.resize(r * keep);
      b.lineRefs.resize(r);
      b.quoted.resize(r);
      if (parser) b.outcomes.resize(r);
      b.numberOk.resize(r * layout_.numbers.size());
      b.numbers.resize(r * layout_.numbers.size());
      b.dateOk.resize(r * layout_.dates.size());
      b.dates.resize(r * layout_.dates.size());
      b.rows = r;
      b.fault = Fault::kThrown;
      b.faultRow = r;
      b.faultLine = line;
      b.thrown = std::current_exception();
      break;
    }
  }
  b.lines = line;
}

bool BlockReader::Next(const std::string& where) {
  for (;;) {
    if (current_) {
      Block& b = *current_;
      if (row_ < b.rows) {
        const std::size_t keep = layout_.keep;
        const char* base = b.quoted[row_] ? b.unquoted.data() : b.data.data();
        const Ref* v = b.values.data() + row_ * keep;
        for (std::size_t j = 0; j < keep; ++j) values_[j] = std::string_view(base + v[j].from, v[j].len);
        line_ = std::string_view(b.data.data() + b.lineRefs[row_].from, b.lineRefs[row_].len);
        if (!b.outcomes.empty()) outcome_ = b.outcomes[row_];
        const std::size_t nn = layout_.numbers.size(), nd = layout_.dates.size();
        for (std::size_t k = 0; k < nn; ++k) {
          numberOk_[k] = b.numberOk[row_ * nn + k];
          number_[k] = b.numbers[row_ * nn + k];
        }
        for (std::size_t k = 0; k < nd; ++k) {
          dateOk_[k] = b.dateOk[row_ * nd + k];
          date_[k] = b.dates[row_ * nd + k];
        }
        ++row_;
        return true;
      }
      switch (b.fault) {
        case Fault::kTooManyFields:
          throw FileError{"Line " + NumText(lineBase_ + b.faultLine) + " has more than 101 fields (" + where + ")"};
        case Fault::kNotClosed:
          throw FileError{"Line " + NumText(lineBase_ + b.faultLine) +
                          " has a quoted field that is not closed (" + where + ")"};
        case Fault::kThrown: std::rethrow_exception(b.thrown);
        case Fault::kNone: break;
      }
      lineBase_ += b.lines;
      bytesDone_ += b.bytes;
      std::lock_guard<std::mutex> lock(mutex_);
      free_.push_back(std::move(current_));
      current_.reset();
    }
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [&] { return (!blocks_.empty() && blocks_.front()->done) || (blocks_.empty() && readerDone_); });
      if (lineBase_ < 0) lineBase_ = headerLines_;
      if (blocks_.empty()) {
        if (readerError_) std::rethrow_exception(readerError_);
        return false;
      }
      current_ = std::move(blocks_.front());
      blocks_.pop_front();
      row_ = 0;
    }
    changed_.notify_all();  // room for the reader
  }
}

const double* BlockReader::Number(int col) const {
  for (std::size_t k = 0; k < layout_.numbers.size(); ++k) {
    if (layout_.numbers[k] == col) return numberOk_[k] ? &number_[k] : nullptr;
  }
  return nullptr;
}

const Date* BlockReader::DateOf(int col) const {
  for (std::size_t k = 0; k < layout_.dates.size(); ++k) {
    if (layout_.dates[k] == col) return dateOk_[k] ? &date_[k] : nullptr;
  }
  return nullptr;
}

}  // namespace tarnwick::cli
