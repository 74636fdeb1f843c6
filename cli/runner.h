#pragma once
// The command runner: one command line in the engine's command language, checked by the
// engine's own checks, its data source read row by row, fed to the analysis class, and the
// report text the class returns handed back. The runner holds no analysis of its own.

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "report_layout.h"
#include "run_record.h"
#include "runner_args.h"
#include "sources.h"
#include "tarnwick/core/date.h"
#include "tarnwick/core/holiday_calendar.h"
#include "tarnwick/core/internal/int128.h"
#include "tarnwick/core/numeric_text.h"
#include "tarnwick/expr/parser.h"
#include "tarnwick/expr/rpn_evaluator.h"
#include "tarnwick/shell/command_shell.h"
#include "tarnwick/shell/command_timing.h"

namespace tarnwick::cli {

// Exit statuses.
inline constexpr int kOk = 0;
inline constexpr int kEngineError = 1;  // an error of the engine during the run
inline constexpr int kRejected = 2;     // the command did not pass the checks

// A command refused before it runs; the message is the engine's where the engine gave one.
struct Rejected {
  std::string message;
};

// Files below this size are read on one thread when the count is left to the runner: their
// blocks would all be fresh memory, and starting the threads costs more than they save.
inline constexpr std::int64_t kThreadedReadBytes = std::int64_t{32} << 20;

// The reading threads for a file of `fileBytes`: `asked` when given (above 0), else the
// machine's cores for a file of kThreadedReadBytes or more and one thread below.
int ReadingThreads(int asked, std::int64_t fileBytes);

struct Options {
  bool timing = false;    // cCt's one-line report on standard error
  bool progress = false;  // progress of long reads on standard error (set when it is a terminal)
  // Above this many amounts UN leaves memory for the engine's external sort.
  std::int32_t maxInMemory = 10'000'000;
  // Threads that read a delimited file's rows (block_reader.h); 1 reads on the calling thread,
  // 0 lets ReadingThreads choose. Reports are the same for every count.
  int threads = 0;
};

// What a command that ran tells its caller besides the report, so that the report can be
// filed elsewhere (a workbook): its code, its recap= and title= arguments, and the files it
// read or wrote (its data, its sample=), which nothing written later may replace.
struct RunInfo {
  std::string code;
  std::string recap;
  std::string title;
  std::vector<std::string> files;
  // For the run record (run_record.h); filled also when the command failed during the run.
  std::vector<std::string> inputs;   // files read
  std::vector<std::string> outputs;  // files written
  std::string database, query;       // a database source
  std::int64_t rowsRead = 0, rowsSelected = 0, rowsNotEvaluated = 0;
  std::vector<ControlTotal> totals;
};

// What a column argument must hold.
enum class Kind { Text, Number, Date };

struct ColumnArg {
  const char* arg;
  Kind kind;
  bool optional = false;
  // A key that may join several columns with "+" (col=VendorNum+InvNum); see KeyColumns.
  bool composite = false;
  bool runner = false;  // a runner's own argument (runner_args.h), not an engine argument
};

// How keys compare (keys=): exactly, without surrounding spaces, or also without letter case.
enum class KeyMode { Exact, Trim, NoCase };

// A key argument resolved before the run: its columns (one, or the parts of a composite key)
// and how their texts compare. The key text of a row is the parts, normalised, joined with
// kKeyJoin, the unit separator, which no field of a ledger holds; reports show each part in a
// column of its own (ShowCompositeKey in commands.cpp).
inline constexpr char kKeyJoin = '\x1F';
struct KeyColumns {
  std::vector<int> cols;
  std::vector<std::string> names;  // the columns' names as the source's header writes them
  KeyMode mode = KeyMode::Exact;
  bool Composite() const { return cols.size() > 1; }
};
// The columns of a key argument's value in `src`: one column, or, where `composite` and no
// column bears the whole value, the columns named between "+" signs. `tabFile`, when not
// empty, is the tab-delimited file whose header the engine's check reads first. Throws Rejected.
KeyColumns ResolveKey(const std::string& arg, const std::string& value, const RowSource& src,
                      const std::string& tabFile, bool composite);
// The key text of the current row of `src`.
void KeyText(const RowSource& src, const KeyColumns& key, std::string& out);

// Where a data source is: the values of ds=, file=, filespec=, conn= and sql= (or of the
// runner's own arguments naming a second source).
struct SourceArgs {
  std::string ds, file, filespec, conn, sql;
  std::string sheet, ulc;  // a workbook's worksheet, and a range's upper-left cell
};
// Opens the source; every file it reads is added to `inputs`. Throws Rejected.
std::unique_ptr<RowSource> OpenSource(const SourceArgs& args, std::vector<std::string>& inputs);

class Job;
struct CommandDef;
void PrepareFilter(const std::string& cond, Job& job);

// An argument the runner adds to a command line that lacks it, so that the engine's checks see
// a complete command: the value itself, or (fromArg) the value of the argument named `value`.
struct DefaultArg {
  const char* name;
  const char* value;
  bool fromArg = false;
};

// Everything about one command, in one entry of the table in commands.cpp: the help, the
// columns checked before the run, the run function, the defaults, the HE example and how its
// report is laid out in a workbook and in structured output.
struct CommandDef {
  const char* code;
  const char* title;
  // Argument help, one "name: meaning" per entry.
  std::vector<const char*> args;
  bool needsSource;
  std::vector<ColumnArg> columns;
  void (*run)(Job&);  // nullptr: the analysis class is not in this build
  std::vector<DefaultArg> defaults = {};
  // A working command line on the sample files under examples/, run from the repository's
  // root; `tarnwick HE` shows it and the end-to-end tests run it.
  const char* example = nullptr;
  ReportLayout layout = {};
};

const std::vector<CommandDef>& Commands();
const CommandDef* FindCommand(std::string_view code);

// One command being run: its parsed arguments, its source and the report being built.
class Job {
 public:
  Job(const cShell& shell, const Options& options) : shell_(shell), options_(options) {}
  // A run that stops early (an error) leaves no progress line under its message.
  ~Job() {
    if (progressShown_) Progress(true);
  }
  Job(const Job&) = delete;
  Job& operator=(const Job&) = delete;

  std::string Arg(std::string_view name) const { return shell_.geta(name); }
  // A runner's own argument (runner_args.h) as given on the line; "" when absent.
  std::string RunnerArg(std::string_view name) const {
    auto it = runnerArgs_.find(std::string(name));
    return it == runnerArgs_.end() ? std::string() : it->second;
  }
  const cShell& Shell() const { return shell_; }
  const Options& Opts() const { return options_; }
  // Column index of a column argument resolved before the run; -1 for an absent optional one.
  int Col(std::string_view arg) const;
  // Advances to the next row that the filter selects; false at the end. The first call marks
  // the start of the run: engine errors from then on are errors of the run, not rejections.
  bool Next();
  std::string_view Text(int col) const { return source_->Field(col); }
  // The value read as a number or a date; text that is neither is the type-mismatch error,
  // naming the column, the row and the value.
  double Number(int col) const;
  Date DateValue(int col) const;
  // The order in which the source writes dates (datefmt=).
  DateOrder Order() const { return order_; }
  // The key argument `arg` (a key column of def.columns) as resolved before the run.
  KeyColumns Key(std::string_view arg) const;
  // The holiday calendar of holidays=, or nullptr for the federal holidays.
  const HolidayCalendar* Holidays() const { return customHolidays_ ? &holidays_ : nullptr; }
  // A file the command reads besides its source (a second source), so nothing overwrites it.
  void AddInput(const std::string& path) { inputs_.push_back(path); }
  // Marks the start of the run before the first row of the source is read (a command that
  // reads another source first): errors from then on are errors of the run.
  void StartRun() { started_ = true; }
  bool Started() const { return started_; }
  std::int64_t RowsSelected() const { return selected_; }
  // True while a selected row is being processed (between Next() returning true and the next
  // call), so that an error of the run can name the row.
  bool InRow() const { return inRow_; }
  // " on row: N in <source> (Col: value, ...)": the current row, counted with the header as
  // row 1, and the values of the command's columns on it.
  std::string RowContext() const;
  std::int64_t RowsRead() const { return source_ ? source_->RowNo() : 0; }
  // Rows on which the filter could not be evaluated (not selected).
  std::int64_t RowsNotEvaluated() const { return evalFailures_; }
  RowSource& Source() { return *source_; }
  const RowSource& Source() const { return *source_; }
  // Every file the command reads, so that nothing is written over one of them.
  const std::vector<std::string>& Inputs() const { return inputs_; }
  // Count and exact sum of the values read through Number(), per column, in column order.
  std::vector<ControlTotal> ControlTotals() const;

  std::string report;

 private:
  friend void PrepareFilter(const std::string& cond, Job& job);
  friend void PrepareRun(Job& job, const CommandDef& def, const cShell& sh);
  friend int RunLine(const std::string& line, const Options& options, std::string& report,
                     std::string& message, RunInfo* info);
  void Progress(bool last);

  const cShell& shell_;
  const Options& options_;
  std::unique_ptr<RowSource> source_;
  std::map<std::string, int> cols_;
  std::map<std::string, std::vector<int>> keyParts_;  // composite key arguments
  std::vector<int> filterCols_;                       // 0-based columns the filter names
  DateOrder order_ = DateOrder::kMdy;
  KeyMode keyMode_ = KeyMode::Exact;
  HolidayCalendar holidays_;
  bool customHolidays_ = false;
  std::string sheet_;  // the worksheet the line named, before the runner's defaults
  std::vector<std::string> inputs_;
  RunnerArgValues runnerArgs_;
  cCt* ct_ = nullptr;
  bool started_ = false;
  bool inRow_ = false;
  // Progress on a terminal: when the run started, when the line was last written, its width.
  bool progressShown_ = false;
  std::int64_t progressStart_ = 0, progressLast_ = 0;
  std::size_t progressWidth_ = 0;
  // Row filter (cond=): prepared once on the source's header, asked row by row.
  bool filtered_ = false;
  cParse parser_;
  cOP op_;
  std::int64_t evalFailures_ = 0;
  std::int64_t selected_ = 0;
  // Control totals of the amount columns read, by column index. Values with at most four
  // decimals add up exactly in ten-thousandths; any other value turns the column's sum into a
  // compensated sum of doubles.
  struct Total {
    std::int64_t lastRow = -1;  // a column read twice on one row counts once
    std::int64_t count = 0;
    std::int64_t units = 0;  // ten-thousandths, while every value has at most four decimals
    bool exact = true;
    double sum = 0.0, comp = 0.0;  // Neumaier's sum, once a value had more decimals
  };
  void Count(int col, double v) const;
  mutable std::vector<Total> totals_;
};

// Runs one command line. The report (CR LF line ends, as the engine writes them) goes to
// `report`, any message for standard error to `message`; returns the exit status. `info`, when
// given, is filled for a command that ran (left empty for the help text).
int RunLine(const std::string& line, const Options& options, std::string& report,
            std::string& message, RunInfo* info = nullptr);

// The help listing: every command with its arguments, from the engine's requirement tables and
// the runner's own table.
std::string HelpText();

}  // namespace tarnwick::cli
