#pragma once
// Column specifications of fixed-width ("print") files and the conversion of such a file into
// tab-separated text. One implementation, carried by both the typed reader (cNFile) and the
// print-file converter (cTSV); each object owns its own copy of this state.
//
// A specification file is TAB-separated text: a caption line, then one line per column with
// name, start (1-based), size and type code (A, N, D, MDY, MDY6 ... YDM8).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tarnwick/core/currency.h"
#include "tarnwick/core/variant.h"

namespace tarnwick {

struct ColumnSpec {
  std::string name;        // as written, not trimmed
  std::int32_t start = 0;  // 1-based position of the first character
  std::int32_t size = 0;
  std::string typeText;    // fourth field as written
  std::int16_t kind = 0;   // 0 alphanumeric, 1 numeric, 2 date
  Currency total;          // sum of numeric values written by the conversion run
  std::int32_t count = 0;  // written rows in which the column held a value of its kind
};

class FixedWidthSpec {
 public:
  FixedWidthSpec() { Reset(); }

  // Settings back to their defaults, counters, totals, log and line status cleared, both
  // validity flags False. The loaded columns stay (with zero totals and counts).
  void Reset();

  // ---- specification ----
  // Reads and validates a specification file. A missing file logs "File not found: ".
  void Load(const std::string& specFile);
  // Validates one specification line; returns "(None)" when it is valid, else the message.
  // On success the parsed start and size are stored in *start / *size when given.
  static std::string ValidateLine(std::string_view line, std::int32_t* start = nullptr,
                                  std::int32_t* size = nullptr);
  // "ColSpecs: " and one line per column.
  std::string Listing() const;

  bool SpecValid() const { return specValid_; }
  const std::string& LineStatus() const { return lineStatus_; }
  const std::string& SpecFile() const { return specFile_; }
  std::int32_t MaxStart() const { return maxStart_; }
  const std::vector<ColumnSpec>& Columns() const { return columns_; }
  // The file the loaded columns came from ("" before any successful load).
  const std::string& LoadedFrom() const { return loadedFrom_; }

  // ---- date conversion ----
  // Converts a field text by a date code; sets PartsValid() and ConvertedText().
  // An unknown code leaves the converted text unchanged and returns it.
  const std::string& ConvertDate(std::string_view value, std::string_view typeText);
  bool PartsValid() const { return partsValid_; }
  const std::string& ConvertedText() const { return converted_; }

  // ---- conversion settings (writes take any value: text, number...) ----
  void InputFile(const std::string& name) { inFile_ = name; }
  const std::string& InputFile() const { return inFile_; }
  void InputExists(bool exists) { inputExists_ = exists; }
  bool InputExists() const { return inputExists_; }
  void OutFile(const Variant& v) { outFile_ = v.ToText(); }
  const std::string& OutFile() const { return outFile_; }
  void SkipRows(const Variant& v);
  void MaxObs(const Variant& v);
  void MaxErrors(const Variant& v);
  std::int32_t SkipRows() const { return skipRows_; }
  std::int32_t MaxObs() const { return maxObs_; }
  std::int32_t MaxErrors() const { return maxErrors_; }

  // ---- conversion run ----
  // Copies the input into the output as TAB-separated text, checking numeric and date columns.
  // Does nothing unless the input exists and the specification is valid. When the output
  // cannot be created the log says so (and, with notifyOnNoOutput, a notice shows the log).
  // File-system failures and an overflowing total are raised; a partial output is removed.
  void Process(bool notifyOnNoOutput);
  // The process report of the runs so far.
  std::string Report() const;

  std::int32_t RowsProcessed() const { return rows_; }
  std::int32_t TotalErrors() const { return totalErrors_; }
  std::int32_t NumericErrors() const { return numErrors_; }
  std::int32_t DateErrors() const { return dateErrors_; }
  const std::string& Log() const { return log_; }
  void ClearLog() { log_.clear(); }
  void AppendLog(std::string_view text);

 private:
  void CheckField(const ColumnSpec& col, std::string_view text);

  // specification
  std::vector<ColumnSpec> columns_;
  std::int32_t maxStart_ = 0;
  bool specValid_ = false;
  std::string lineStatus_;
  std::string specFile_;
  std::string loadedFrom_;
  // settings
  std::string inFile_;
  std::string outFile_;
  std::int32_t skipRows_ = 0;
  std::int32_t maxObs_ = 0;
  std::int32_t maxErrors_ = 20;
  // run state
  bool inputExists_ = false;
  std::int32_t rows_ = 0;
  std::int32_t totalErrors_ = 0;
  std::int32_t numErrors_ = 0;
  std::int32_t dateErrors_ = 0;
  std::string log_;
  // last date conversion
  std::int32_t parts_[3] = {0, 0, 0};
  bool partsValid_ = false;
  std::string converted_;
};

// The field of a line at a 1-based start with `size` characters: shorter or empty where the
// line ends first.
std::string_view FieldAt(std::string_view line, std::int32_t start, std::int32_t size);

// A write of "any value" into a Long setting: numbers and numeric text, rounded halves to even.
std::int32_t LongArg(const Variant& v);

}  // namespace tarnwick
