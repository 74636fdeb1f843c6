#include "block_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "sources.h"
#include "tarnwick/core/default_text.h"
#include "tarnwick/core/error.h"
#include "tarnwick/core/internal/field_split.h"
#include "tarnwick/data/typed_reader.h"

namespace tarnwick::cli {

namespace {

constexpr char kBom[] = "\xEF\xBB\xBF";
constexpr std::size_t kFirstBlockBytes = std::size_t{64} << 10;

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
      case kUnquoted:
        if (c == ',') st = kStart;
        break;
      case kQuoted:
        if (c == '"') st = kQuoteSeen;
        break;
      case kQuoteSeen: st = c == '"' ? kQuoted : c == ',' ? kStart : kUnquoted; break;
    }
  }
  return last;
}

}  // namespace

// Bytes of the file, grown without clearing: a block is read over at once, so zero-filling
// it first would be a second pass over every byte.
class Bytes {
 public:
  char* data() { return p_.get(); }
  const char* data() const { return p_.get(); }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  void clear() { size_ = 0; }
  // Room for `n` bytes, keeping the first size() of them.
  void reserve(std::size_t n) {
    if (n <= cap_) return;
    n = std::max(n, cap_ + cap_ / 2);
    auto grown = std::make_unique_for_overwrite<char[]>(n);
    if (size_ > 0) std::memcpy(grown.get(), p_.get(), size_);
    p_ = std::move(grown);
    cap_ = n;
  }
  void resize(std::size_t n) {
    reserve(n);
    size_ = n;
  }
  void assign(const char* from, std::size_t n) {
    size_ = 0;
    reserve(n);
    if (n > 0) std::memcpy(p_.get(), from, n);
    size_ = n;
  }
  void erase_front(std::size_t n) {
    n = std::min(n, size_);
    if (n < size_) std::memmove(p_.get(), p_.get() + n, size_ - n);
    size_ -= n;
  }

 private:
  std::unique_ptr<char[]> p_;
  std::size_t size_ = 0, cap_ = 0;
};

struct BlockReader::Block {
  Bytes data;              // whole records, from the start of one
  bool last = false;       // the file ends with this block
  bool done = false;       // processed by a worker
  std::int64_t bytes = 0;  // file bytes the block stands for
  // What the worker found, per row, ready for the caller to point at.
  std::size_t rows = 0;
  std::int64_t lines = 0;                   // physical lines in the block
  std::vector<std::string_view> values;     // rows x keep, into data or unquoted
  std::vector<std::string_view> lineViews;  // per row: its first line (tab files: the whole line)
  std::vector<FilterOutcome> outcomes;      // per row, when filtered
  // per row and Layout::numbers / dates column: read (1) or not, and the value
  std::vector<std::uint8_t> numberOk, dateOk;
  std::vector<double> numbers;
  std::vector<Date> dates;
  // The unquoted fields of comma records with quotes; reserved to the block's size before the
  // rows are split (unquoting never lengthens a record), so views into it stay valid.
  std::string unquoted;
  // Notices the worker's filter showed, with the row they came on, in row order.
  std::vector<std::pair<std::size_t, std::string>> notices;
  std::size_t noticesShown = 0;
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
    data.clear();
    values.clear();
    lineViews.clear();
    outcomes.clear();
    numberOk.clear();
    dateOk.clear();
    numbers.clear();
    dates.clear();
    unquoted.clear();
    notices.clear();
    noticesShown = 0;
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
    : path_(path),
      layout_(layout),
      filter_(std::move(filter)),
      blockBytes_(std::max<std::size_t>(blockBytes, 1)) {
  const int n = std::max(threads, 1);
  // A few blocks per worker keep them busy while the caller takes one; no more, for memory.
  maxBlocks_ = static_cast<std::size_t>(n) * 2 + 2;
  struct stat st {};
  if (::stat(path_.c_str(), &st) == 0) size_ = static_cast<std::int64_t>(st.st_size);
  // Notices of the workers wait in their blocks for the caller; the caller's own pass through.
  previousSink_ = SetNoticeSink([this](std::string_view text) {
    if (working_ != nullptr) {
      working_->notices.emplace_back(working_->rows, std::string(text));
    } else if (previousSink_) {
      previousSink_(text);
    } else {
      std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
    }
  });
  sinkInstalled_ = true;
  reader_ = std::thread([this] { ReadAll(); });
  for (int w = 0; w < n; ++w) workers_.emplace_back([this, w] { Work(w); });
}

BlockReader::~BlockReader() { Stop(); }

void BlockReader::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  room_.notify_all();
  work_.notify_all();
  done_.notify_all();
  if (reader_.joinable()) reader_.join();
  for (std::thread& t : workers_) {
    if (t.joinable()) t.join();
  }
  if (sinkInstalled_) {
    SetNoticeSink(std::move(previousSink_));
    sinkInstalled_ = false;
  }
}

thread_local BlockReader::Block* BlockReader::working_ = nullptr;

void BlockReader::ShowNotices(Block& b, std::size_t row) {
  while (b.noticesShown < b.notices.size() && b.notices[b.noticesShown].first <= row) {
    std::string& text = b.notices[b.noticesShown++].second;
    if (std::find(shown_.begin(), shown_.end(), text) != shown_.end()) continue;
    shown_.push_back(text);
    Notify(text);
  }
}

void BlockReader::ReadAll() {
  int fd = -1;
  try {
    fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) Raise(ErrorCode::FileAccess, std::strerror(errno));
    Bytes carry;  // read, not handed out: the front of the next block
    bool eof = false;
    std::int64_t taken = 0;  // file bytes skipped, counted with the next block
    // Appends at least `want` bytes to `buf` unless the file ends first.
    auto readMore = [&](Bytes& buf, std::size_t want) {
      const std::size_t target = buf.size() + want;
      buf.reserve(target);
      while (!eof && buf.size() < target) {
        const ssize_t got = ::read(fd, buf.data() + buf.size(), target - buf.size());
        if (got < 0) {
          if (errno == EINTR) continue;
          Raise(ErrorCode::FileAccess, std::strerror(errno));
        }
        if (got == 0) eof = true;
        buf.resize(buf.size() + static_cast<std::size_t>(got));
      }
    };
    // The first blocks are small and each is twice the last, up to the block size: a small file
    // then touches little fresh memory, and a large one soon reads in full blocks.
    std::size_t size = std::min(blockBytes_, kFirstBlockBytes);
    readMore(carry, 3);
    std::size_t skip = 0;
    if (carry.size() >= 3 && std::memcmp(carry.data(), kBom, 3) == 0) skip = 3;
    // The header record, read by the caller already: skip it and count its lines.
    std::size_t headerEnd = 0;
    while ((headerEnd = RecordEnd(carry.data() + skip, carry.size() - skip, layout_.comma, true)) ==
               0 &&
           !eof)
      readMore(carry, std::max(carry.size(), size));
    if (headerEnd == 0) headerEnd = carry.size() - skip;
    headerLines_ = std::count(carry.data() + skip, carry.data() + skip + headerEnd, '\n');
    taken = static_cast<std::int64_t>(skip + headerEnd);
    carry.erase_front(skip + headerEnd);
    for (;;) {
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
      Bytes& d = b->data;
      d.assign(carry.data(), carry.size());
      carry.clear();
      if (d.size() < size) readMore(d, size - d.size());
      if (d.empty() && eof) break;
      // The block ends after its last whole record; a record longer than the block makes it
      // longer.
      std::size_t end = 0;
      for (;;) {
        if (eof) {
          end = d.size();
          break;
        }
        end = RecordEnd(d.data(), d.size(), layout_.comma, false);
        if (end > 0) break;
        readMore(d, std::max(d.size(), size));
      }
      carry.assign(d.data() + end, d.size() - end);
      d.resize(end);
      b->bytes = static_cast<std::int64_t>(end) + taken;
      taken = 0;
      if (carry.empty() && !eof) readMore(carry, 1);
      b->last = eof && carry.empty();
      const bool last = b->last;
      size = std::min(blockBytes_, size * 2);
      std::unique_lock<std::mutex> lock(mutex_);
      room_.wait(lock, [&] { return stop_ || blocks_.size() < maxBlocks_; });
      if (stop_) break;
      todo_.push_back(b.get());
      blocks_.push_back(std::move(b));
      lock.unlock();
      work_.notify_one();
      if (last) break;
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
  work_.notify_all();
  done_.notify_all();
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
      work_.wait(lock, [&] { return stop_ || !todo_.empty() || readerDone_; });
      if (stop_ || todo_.empty()) return;
      b = todo_.front();
      todo_.pop_front();
    }
    working_ = b;
    Process(*b, parser.get(), op.get(), scratch);
    working_ = nullptr;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      b->done = true;
    }
    done_.notify_one();
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
  const std::size_t keep = layout_.keep;
  const std::size_t nn = layout_.numbers.size(), nd = layout_.dates.size();
  // The numbers and dates of the row whose values start at `v`.
  auto convert = [&](const std::string_view* v) {
    for (const int c : layout_.numbers) {
      const auto x =
          static_cast<std::size_t>(c) < keep ? ParseNumber(v[c]) : std::optional<double>();
      b.numberOk.push_back(x.has_value());
      b.numbers.push_back(x.value_or(0.0));
    }
    for (const int c : layout_.dates) {
      const auto x = static_cast<std::size_t>(c) < keep ? ParseDate(v[c], layout_.order)
                                                        : std::optional<Date>();
      b.dateOk.push_back(x.has_value());
      b.dates.push_back(x.value_or(Date()));
    }
  };
  // Unquoting never lengthens a record, so the block's size is room for all its unquoted
  // records and views into them stay where they are.
  if (layout_.comma) b.unquoted.reserve(n);
  CommaRecord comma;
  std::string_view ln;
  while (nextLine(ln)) {
    const std::size_t r = b.rows;
    try {
      const std::size_t at = b.values.size();
      if (!layout_.comma) {
        b.values.resize(at + keep);  // empty views where the line is short
        std::string_view* v = b.values.data() + at;
        SplitTabInto(ln, v, keep);
        b.lineViews.push_back(ln);
        convert(v);
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
                          : unclosed                              ? Fault::kNotClosed
                                                                  : Fault::kNone;
      if (fault != Fault::kNone) {
        b.fault = fault;
        b.faultRow = r;
        b.faultLine = recordLine;
        break;
      }
      const auto& spans = comma.Spans();
      const std::size_t kept = std::min(spans.size(), keep);
      const char* base = ln.data();
      if (comma.Quoted()) {
        const std::string_view text = comma.Text();
        if (b.unquoted.size() + text.size() > b.unquoted.capacity()) {
          throw std::logic_error("unquoted record longer than its block");
        }
        base = b.unquoted.data() + b.unquoted.size();
        b.unquoted.append(text);
      }
      b.values.resize(at + keep);
      std::string_view* v = b.values.data() + at;
      for (std::size_t j = 0; j < kept; ++j)
        v[j] = std::string_view(base + spans[j].from, spans[j].len);
      b.lineViews.push_back(ln);
      convert(v);
      if (parser) {
        // the filter reads the values joined by TAB, as the runner rebuilds the row
        scratch.clear();
        for (std::size_t j = 0; j < layout_.columns; ++j) {
          if (j) scratch += '\t';
          if (j < keep) scratch.append(v[j]);
        }
        b.outcomes.push_back(Ask(*parser, *op, scratch));
      }
      ++b.rows;
    } catch (...) {
      b.values.resize(r * keep);
      b.lineViews.resize(r);
      if (parser) b.outcomes.resize(r);
      b.numberOk.resize(r * nn);
      b.numbers.resize(r * nn);
      b.dateOk.resize(r * nd);
      b.dates.resize(r * nd);
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
      if (!b.notices.empty()) ShowNotices(b, row_);
      if (row_ < b.rows) {
        // The caller reads the row where the worker left it.
        values_ = b.values.data() + row_ * layout_.keep;
        line_ = b.lineViews[row_];
        if (!b.outcomes.empty()) outcome_ = b.outcomes[row_];
        const std::size_t nn = layout_.numbers.size(), nd = layout_.dates.size();
        numberOk_ = b.numberOk.data() + row_ * nn;
        number_ = b.numbers.data() + row_ * nn;
        dateOk_ = b.dateOk.data() + row_ * nd;
        date_ = b.dates.data() + row_ * nd;
        ++row_;
        return true;
      }
      switch (b.fault) {
        case Fault::kTooManyFields:
          throw FileError{"Line " + NumText(lineBase_ + b.faultLine) +
                          " has more than 101 fields (" + where + ")"};
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
      done_.wait(lock, [&] {
        return (!blocks_.empty() && blocks_.front()->done) || (blocks_.empty() && readerDone_);
      });
      if (lineBase_ < 0) lineBase_ = headerLines_;
      if (blocks_.empty()) {
        if (readerError_) std::rethrow_exception(readerError_);
        return false;
      }
      current_ = std::move(blocks_.front());
      blocks_.pop_front();
      row_ = 0;
    }
    room_.notify_one();
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
