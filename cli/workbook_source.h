#pragma once
// A worksheet of an .xlsx workbook as a data source: a header row of column names and the rows
// below it, streamed from the zip container (libzip) through the XML parser (expat) one row at
// a time, so that a sheet of a million rows is never held in memory. Only the workbook's
// shared-string table, which every sheet refers to, is held.
//
// Two blocks can be read:
// - the sheet (`ulc` empty): the header is the first row that holds a value, its columns run
//   from its first to its last value; every row below is read to the last row that holds a
//   value (a wholly empty row between them is a row of blank values, as a tab-separated copy
//   of the sheet would have it);
// - a range (`ulc` a cell such as "B3"): the header is the row of `ulc`, its columns run from
//   `ulc` to the right up to the first empty header cell, and the rows below are read down to
//   the first row that is empty in those columns.
//
// Values become the texts that the engine's number and date tests read exactly:
// - numbers: the shortest text that reads back as the same double, in fixed notation for
//   magnitudes from 1E-5 to below 1E+15 ("726578.08", "-0.0001", "1e+16");
// - numbers whose cell format is a date format (built-in formats 14-22 and 45-47, or a custom
//   format with d, m, y, h or s outside quotes and brackets): the engine's default date text
//   ("7/5/2023", "7/5/2023 1:30:00 PM"), in the workbook's 1900 or 1904 date system; the 1900
//   system's non-existent 29 February 1900 (serial 60) is written "2/29/1900", which no date
//   test accepts;
// - shared and inline strings as stored; booleans "TRUE" and "FALSE"; error values as shown
//   ("#DIV/0!"), which no number test accepts; formula cells by their stored value; ISO dates
//   (cells of type "d") as dates; empty cells "".

#include <cstdint>
#include <memory>
#include <string>

#include "sources.h"

namespace tarnwick::cli {

// True when `path` names a workbook: a file that begins as a zip archive or an OLE compound
// document does, or any file named .xlsx, .xlsm, .xltx or .xltm (so that a damaged one is
// reported as such). A text file named .xls, as programs export them, is not a workbook.
bool IsWorkbookFile(const std::string& path);

class WorkbookSource : public RowSource {
 public:
  // `sheet` "" reads the first visible worksheet; `ulc` "" reads the whole sheet. Throws
  // FileError (with `input` set) when the workbook cannot be read: damaged, encrypted, not a
  // workbook, no such sheet, no header at `ulc`, or no rows below the header.
  WorkbookSource(const std::string& path, const std::string& sheet, const std::string& ulc);
  ~WorkbookSource() override;
  WorkbookSource(const WorkbookSource&) = delete;
  WorkbookSource& operator=(const WorkbookSource&) = delete;

  // Throws FileError (with `input` set) when the sheet turns out damaged while it is read.
  bool Next() override;
  double Done() const override;
  // The worksheet's own row number of the current row.
  std::int64_t LineNo() const override;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace tarnwick::cli
