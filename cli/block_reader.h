#pragma once
// The rows of a tab-delimited or comma-separated file read on several threads, handed out one
// at a time in file order exactly as the typed reader (cNFile) gives them on one thread.
//
// A reader thread reads the file in large blocks and cuts each block after the end of a
// record: after a line end for a tab-delimited file, after a line end outside a quoted field
// for a comma-separated one (a block always begins at a record, so the quote state is known
// from its first byte; a record longer than a block makes the block longer). Worker threads
// split the blocks' rows into fields and ask each row's filter on their own parser. The caller
// takes the blocks in order, row by row: the same values, the same filter outcomes, and a
// failure (a record with more than 101 fields, a quoted field never closed, a read error)
// raised when the caller reaches the row where one thread would have raised it. A notice a
// worker's filter shows ("Too many parens") is held with its row and shown by the caller when
// it reaches that row, once per text, as one thread's prepared filter shows it once.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tarnwick/core/date.h"
#include "tarnwick/core/numeric_text.h"
#include "tarnwick/expr/parser.h"
#include "tarnwick/expr/rpn_evaluator.h"
#include "tarnwick/platform/notice.h"

namespace tarnwick::cli {

// Prepares a worker's own parser and evaluator for the row filter, as the caller prepared its
// own (date order, holidays, the filter on the header). The parser and evaluator keep per-row
// state, so no two threads share one.
using FilterSetup = std::function<void(cParse&, cOP&)>;

// The filter's answer for a row, as the runner counts it.
enum class FilterOutcome : std::uint8_t { kNotSelected, kSelected, kNotEvaluated };

class BlockReader {
 public:
  struct Layout {
    bool comma = false;       // comma-separated, else tab-delimited
    std::size_t columns = 0;  // the header's columns: Field slots
    std::size_t keep = 0;     // columns split per row (the rest read as ""); <= columns
    // Columns read as numbers and as dates (in `order`) on the workers, by the very functions
    // the runner reads them with; columns at or beyond `keep` are left to the runner.
    std::vector<int> numbers, dates;
    DateOrder order = DateOrder::kMdy;
  };
  // Starts reading `path` after its header record. `filter` may be empty (no row filter).
  // `blockBytes` is the size of a block as read (a block ends at the first record end after it);
  // the first blocks are smaller, growing to it.
  BlockReader(const std::string& path, Layout layout, int threads, FilterSetup filter,
              std::size_t blockBytes);
  ~BlockReader();
  BlockReader(const BlockReader&) = delete;
  BlockReader& operator=(const BlockReader&) = delete;

  // Advances to the next row; false at the end of the file. A failure of the row is thrown
  // here: FileError for the reader's own complaints (worded as cNFile words them, without the
  // source's place, which `where` adds), anything else as it was raised.
  bool Next(const std::string& where);
  // The current row's values, `keep` slots (the columns beyond read as ""); views valid until
  // the next Next.
  const std::string_view* Values() const { return values_; }
  // The current physical line of a tab-delimited row (the filter's and the sample's line).
  std::string_view Line() const { return line_; }
  FilterOutcome Outcome() const { return outcome_; }
  // Column `col` of the current row read as a number or a date on a worker; nullptr when the
  // column was not read there or its text is not one (the runner reads it, and complains).
  const double* Number(int col) const;
  const Date* DateOf(int col) const;
  // Bytes of the file handed out so far, and its size, for the progress indicator.
  std::int64_t BytesDone() const { return bytesDone_; }
  std::int64_t Size() const { return size_; }

  // The block size: TARNWICK_BLOCK_BYTES when set (tests use tiny blocks so that records
  // straddle block ends), else 1 MiB.
  static std::size_t DefaultBlockBytes();

 private:
  struct Block;
  void ReadAll();
  void Work(int worker);
  void Process(Block& b, cParse* parser, cOP* op, std::string& scratch) const;
  void Stop();
  void ShowNotices(Block& b, std::size_t row);

  // The block a worker thread is processing, where its notices go.
  static thread_local Block* working_;

  const std::string path_;
  const Layout layout_;
  const FilterSetup filter_;
  const std::size_t blockBytes_;
  std::size_t maxBlocks_ = 0;

  std::mutex mutex_;
  // Each side waits on its own condition: the reader for room, the workers for a block to
  // process, the caller for the next block to be processed.
  std::condition_variable room_, work_, done_;
  std::deque<std::unique_ptr<Block>> blocks_;  // read, not yet taken, in file order
  std::deque<Block*> todo_;                    // read, not yet processed
  std::vector<std::unique_ptr<Block>> free_;   // taken and done with, for reuse
  bool readerDone_ = false;
  bool stop_ = false;
  std::exception_ptr readerError_;
  std::int64_t headerLines_ = 0;

  std::thread reader_;
  std::vector<std::thread> workers_;

  // The caller's side.
  std::unique_ptr<Block> current_;
  std::size_t row_ = 0;
  std::int64_t lineBase_ = -1;  // file lines before the current block
  // The current row, where its block holds it.
  const std::string_view* values_ = nullptr;
  std::string_view line_;
  FilterOutcome outcome_ = FilterOutcome::kSelected;
  const std::uint8_t* numberOk_ = nullptr;  // per Layout::numbers / dates
  const std::uint8_t* dateOk_ = nullptr;
  const double* number_ = nullptr;
  const Date* date_ = nullptr;
  std::int64_t bytesDone_ = 0;
  std::int64_t size_ = 0;
  NoticeSink previousSink_;
  std::vector<std::string> shown_;  // notices of the workers shown so far
  bool sinkInstalled_ = false;
};

}  // namespace tarnwick::cli
