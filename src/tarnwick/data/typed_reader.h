#pragma once
// cNFile: reads a data file of one of three layouts and presents each the same way: a header
// of column names and, per line, column values by 0-based column number, with a guessed or
// declared type letter per column and the same row filter as cFile.
//   "T" tab-delimited text with a header line;
//   "C" comma-separated text with a header line (fields in double quotes, see below);
//   "F" a fixed-width print file described by a column specification; its first line is
//       skipped as a header and the names come from the column specification.
// The same object carries the fixed-width conversion (Process, ErrorReport).
//
// The end-of-file flag is Eof() (EOF is a macro of the C library). Column values are views
// into the current line, valid until the next GetRow or ParsePrn.
//
// Comma-separated records follow the usual rules of spreadsheets (RFC 4180): a field in double
// quotes may hold commas and line breaks, and a doubled quote inside it stands for one quote.
// A record with a quoted line break goes on over the next lines: it is one row (Row counts
// records), its ThisRow holds the lines with "\n" between them, and messages name the file
// line where it begins. A quote never closed (by the end of the file, or within 16 MiB) sets
// ErrStatus with "Line <n> has a quoted field that is not closed".
// A header without a comma is never comma-separated (a one-column file is "T").
//
// A comma-separated record holds at most 101 fields. One with more keeps its first 101 in
// place (no column moves), drops the rest, and sets ErrStatus with the message
// "Line <n> has more than 101 fields", n counting the file's lines from 1 (the header).
//
// A UTF-8 byte-order mark at the start of the file is not part of the first name.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tarnwick/core/error.h"
#include "tarnwick/core/variant.h"
#include "tarnwick/data/column_spec.h"
#include "tarnwick/platform/file_system.h"

namespace tarnwick {

class CommaRecord;
class RowFilter;

class cNFile {
 public:
  static constexpr std::size_t kMaxCommaFields = 101;
  // A quoted field still open after this many bytes is taken for a quote that was never closed.
  static constexpr std::size_t kMaxQuotedRecord = 16u << 20;

  cNFile();
  ~cNFile();
  cNFile(const cNFile&) = delete;
  cNFile& operator=(const cNFile&) = delete;

  // The conversion log, CR LF, then the status of the last column-specification line.
  std::string SpecError() const;
  // The header line; after IsSelected on a "C" or "F" file, the column names joined by TAB.
  const std::string& Hdr() const { return hdr_; }
  std::string RPN();
  const std::string& ErrMsg() const { return errMsg_; }
  bool ErrStatus() const { return errStatus_; }
  // "A", "N" or "D" for column i (clamped): guessed for "T" and "C", declared for "F".
  std::string ctype(std::int16_t i) const;
  const std::string& FileType() const;
  std::int32_t RowNo() const { return rows_; }
  // The current line; after IsSelected on a "C" or "F" file, its values joined by TAB.
  const std::string& ThisRow() const;
  // The same without a copy: a view valid until the next GetRow or NextRow.
  std::string_view RowView() const { return rowRebuilt_ ? std::string_view(rebuiltRow_) : row_; }
  std::int16_t NumCols() const { return numCols_; }
  // Name / value of column i, i clamped to 0 ... NumCols (slot NumCols is empty); "" while
  // the file type is unknown.
  const std::string& HdrCols(std::int16_t i) const;
  std::string_view RowCols(std::int16_t i) const;
  void Infix(const std::string& s) {
    infix_ = s;
    filterChanged_ = true;
  }
  const std::string& ans() const { return ans_; }
  bool IsSelected();
  bool Eof() const { return eof_; }
  // Stores the name and reads the header at once. A new name on an open reader closes the
  // old file first, and a "T" or "C" layout is detected afresh.
  void FileName(const Variant& v);
  const std::string& FileName() const { return fileName_; }
  std::string ShowSpec() const { return spec_.Listing(); }
  // Loads a column specification and makes the file type "F" when the file exists; an
  // empty name does nothing.
  void FileSpec(const Variant& v);
  const std::string& FileSpec() const { return specFile_; }
  std::int16_t GetColNo(std::string_view s) const;
  // Value of column i clamped to 0 ... NumCols - 1.
  std::string_view getcol(std::int16_t i) const;
  std::int32_t Row() const { return rows_; }
  const std::string& GetRow();
  // GetRow for callers that read the values: the line is not copied out (see RowView).
  void NextRow();
  // Where the values of a comma-separated record that holds a quote lie: its fields, unquoted,
  // one after another (the values of any other line are views into RowView). Valid as long as
  // the values.
  std::string_view QuotedValues() const;
  // The column values of the current line, slots 0 ... NumCols, as RowCols gives them.
  const std::vector<std::string_view>& RowValues() const { return values_; }
  std::string Headers();
  bool OpenFile();
  // Marks the file closed and at its end.
  bool CloseFile();
  // Reads the print-file column list (names, starts, lengths, types) from the column specification.
  void HandlePrn();
  // "D": splits a print-file line into the column values; "H": fills the header names.
  void ParsePrn(const std::string& sBuffer, const std::string& sType);
  bool SpecValid() const { return spec_.SpecValid(); }
  const std::string& Error() const { return spec_.LineStatus(); }
  void OutFile(const Variant& v) { spec_.OutFile(v); }
  void MaxObs(const Variant& v) { spec_.MaxObs(v); }
  void SkipRows(const Variant& v) { spec_.SkipRows(v); }
  // The conversion run; when the output cannot be created the log is also shown as a notice.
  void Process() { spec_.Process(true); }
  std::string ErrorReport() const { return spec_.Report(); }
  void inita() { spec_.Reset(); }
  void MaxErrors(const Variant& v) { spec_.MaxErrors(v); }

  const FixedWidthSpec& Spec() const { return spec_; }
  // Share of the open file read so far, 0 to 1, for a progress display; -1 when unknown.
  double Done() const {
    return reader_.Size() > 0
               ? static_cast<double>(reader_.BytesRead()) / static_cast<double>(reader_.Size())
               : -1.0;
  }

  // On a "T" file, split only the first n columns of each line from the next GetRow on;
  // the columns after them read as "". For callers that need a few columns of a wide file.
  // 0 (the default) splits every column.
  void LimitColumns(std::int16_t n);

 private:
  struct PrnColumn {
    std::string name;
    std::int16_t start = 0;
    std::int16_t length = 0;
    std::string type;
  };

  void SetError(std::string msg);
  void SizeColumns();
  void FillValues(std::string_view line);
  void SplitPrn(std::string_view line);
  void GuessTypes();
  // Reads on while the comma-separated record begun in `record` has a quoted field open.
  bool ReadOnQuoted(std::string& record);

  FixedWidthSpec spec_;
  std::string fileName_;
  std::string specFile_;
  char type_ = 0;  // 0 until known, then 'T', 'C' or 'F'
  TextReader reader_;
  bool open_ = false;
  bool eof_ = false;
  bool errStatus_ = false;
  std::string errMsg_;

  std::string header_;                    // as read
  std::string hdr_;                       // as shown by Hdr
  bool hdrJoined_ = false;                // hdr_ holds the names joined by TAB
  std::vector<std::string> names_;        // slots 0 ... NumCols
  std::vector<std::string_view> values_;  // slots 0 ... NumCols, views into row_/prnLine_
  std::vector<char> types_;               // guessed letters for "T" and "C"
  std::int16_t numCols_ = 0;
  std::string_view row_;      // the current line, in the reader's block
  mutable std::string line_;  // its copy, made when asked for
  mutable bool lineCopied_ = false;
  std::string prnLine_;  // a line handed to ParsePrn by the caller
  std::string rebuiltRow_;
  bool rowRebuilt_ = false;
  std::unique_ptr<CommaRecord> comma_;  // the current "C" record (or the header) split
  std::string record_;                  // a "C" record of several lines, "\n" between them
  std::int64_t recordLine_ = 0;  // the file line (from 1, the header) where the record begins
  std::vector<std::string_view> tabFields_;  // a "T" row_ split at every TAB
  bool tabFieldsOfLine_ = false;             // tabFields_ holds the split of row_
  std::int32_t rows_ = 0;
  std::int16_t limit_ = 0;  // columns split on a "T" line; 0: all
  std::vector<PrnColumn> prn_;

  std::string infix_;
  bool filterChanged_ = true;  // the filter or the header changed since the last filtered row
  std::string ans_;
  std::unique_ptr<RowFilter> filter_;
};

}  // namespace tarnwick
