#pragma once
// cFile: reads a tab-delimited text file whose first line is a header, one line at a time;
// gives the header fields and the current line's fields by 0-based column number, finds a
// column by name and tells whether the current line satisfies a row filter.
//
// Fields are split at every TAB, nothing is quoted or trimmed; an empty line has no fields.
// The end-of-file flag is Eof() (EOF is a macro of the C library); it turns True on the call
// that returns the last line. Field views returned by getcol stay valid until the next GetRow.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tarnwick/core/error.h"
#include "tarnwick/platform/file_system.h"

namespace tarnwick {

class RowFilter;

class cFile {
 public:
  cFile();
  ~cFile();
  cFile(const cFile&) = delete;
  cFile& operator=(const cFile&) = delete;

  // The parser's RPN text; after IsSelected, with the row's values substituted.
  std::string RPN();
  const std::string& ThisRow() const { return line_; }
  // Header field i; beyond the last field, the last. SubscriptOutOfRange before Headers, for
  // a negative i or an empty header.
  const std::string& HdrCols(std::int16_t i) const;
  std::int16_t cols() const { return cols_; }
  void Infix(const std::string& s) {
    infix_ = s;
    filterChanged_ = true;
  }
  const std::string& ans() const { return ans_; }
  // "" and "1=1" select every row without parsing; a filter that does not parse or evaluate
  // selects nothing and leaves ans "".
  bool IsSelected();
  bool Eof() const { return eof_; }
  void FileName(const std::string& s) { fileName_ = s; }
  const std::string& FileName() const { return fileName_; }
  // First header field equal to s ignoring case; -1 when none.
  std::int16_t GetColNo(std::string_view s) const;
  // Field i of the current line; "" for an empty line; beyond the last field, the last.
  std::string_view getcol(std::int16_t i) const;
  std::int32_t Row() const { return rows_; }
  // Reads the next line and returns it; "" without reading once Eof() is True.
  const std::string& GetRow();
  // Opens the file if needed and reads the next line as the header.
  std::string Headers();
  // False on any failure, with nothing recorded.
  bool OpenFile();
  bool CloseFile();

 private:
  std::string fileName_;
  bool open_ = false;
  bool eof_ = false;
  TextReader reader_;
  ErrorCode openError_ = ErrorCode::FileNotFound;
  std::string openDetail_;
  bool haveHeader_ = false;
  std::string header_;
  std::vector<std::string> headerFields_;
  std::int16_t cols_ = 0;
  bool haveRow_ = false;
  std::string line_;
  std::vector<std::string_view> fields_;  // views into line_
  std::int32_t rows_ = 0;
  std::string infix_;
  bool filterChanged_ = true;  // the filter or the header changed since the last filtered row
  std::string ans_;
  std::unique_ptr<RowFilter> filter_;
};

}  // namespace tarnwick
