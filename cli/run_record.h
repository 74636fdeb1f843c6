#pragma once
// The run record (--log FILE.json): evidence for the working paper of what was run on which
// data. For every command: the line as run (symbols expanded), the tool's version, start and
// end time, each input with its size and SHA-256, the database and query of a database source,
// rows read, selected and not evaluated, control totals of every amount column read, and each
// written file with its SHA-256. Two runs on the same data give the same record apart from the
// times. The record is written whole (temporary file, then renamed) or not at all.

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick::cli {

// Count and sum of the values a command read from one amount column.
struct ControlTotal {
  std::string column;
  std::int64_t count = 0;
  double sum = 0.0;  // the exact decimal sum, to the nearest double
};

// What the record keeps of one command, filled by RunLine (see RunInfo) and main.
struct CommandRecord {
  std::string line;  // as run, symbols expanded
  int status = 0;
  std::string message;  // standard-error text of the command, if any
  std::string started;  // UTC, ISO 8601
  std::string ended;
  std::vector<std::string> inputs;   // files read
  std::vector<std::string> outputs;  // files written
  std::string database;              // ds=db: the connection
  std::string query;                 // ds=db: the query
  std::int64_t rowsRead = 0;
  std::int64_t rowsSelected = 0;
  std::int64_t rowsNotEvaluated = 0;
  std::vector<ControlTotal> totals;
};

// A connection text with the values of PWD= and Password= replaced by "***", so that no
// password reaches a message or the record.
std::string MaskPassword(const std::string& text);

// The current time in UTC as "YYYY-MM-DDTHH:MM:SSZ".
std::string UtcNow();

// SHA-256 of a file's bytes as 64 lower-case hex digits; throws EngineError when the file
// cannot be read.
std::string FileSha256(const std::string& path);

class RunRecord {
 public:
  void Add(CommandRecord record) { commands_.push_back(std::move(record)); }
  // The record as JSON text (files hashed now, after the run wrote them).
  std::string Json() const;
  // Writes the record to `path` whole or not at all; false with `message` set on failure.
  bool Write(const std::string& path, std::string& message) const;

 private:
  std::vector<CommandRecord> commands_;
};

}  // namespace tarnwick::cli
