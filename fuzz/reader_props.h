#pragma once
// The typed reader on arbitrary files: tab-delimited, comma-separated and fixed-width print
// files with their column specification. Reading must end, fail only by an engine error of the
// call or a message, and every column value must lie inside the current line (or, for a
// comma-separated record with quotes, inside the reader's unquoted copy of its fields).
//
// Input layout: an optional column specification, then a line "--", then the data file. With a
// specification the data is read as a print file, without one as tab or comma text.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "tarnwick/core/error.h"
#include "tarnwick/core/variant.h"
#include "tarnwick/data/typed_reader.h"

namespace tarnwick_fuzz {
namespace reader {

using namespace tarnwick;

inline void WriteFile(const std::string& path, std::string_view text) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) std::abort();
  if (!text.empty() && std::fwrite(text.data(), 1, text.size(), f) != text.size()) std::abort();
  std::fclose(f);
}

inline bool Inside(std::string_view part, std::string_view whole) {
  if (part.empty()) return true;
  const char* b = whole.data();
  return part.data() >= b && part.data() + part.size() <= b + whole.size();
}

}  // namespace reader

// `dataFile` and `specFile` are scratch paths the two parts are written to.
inline void Reader(const std::uint8_t* data, std::size_t size, const std::string& dataFile,
                   const std::string& specFile) {
  using namespace reader;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string_view spec, body = input;
  bool printFile = false;
  if (const std::size_t cut = input.find("\n--\n"); cut != std::string_view::npos) {
    spec = input.substr(0, cut + 1);
    body = input.substr(cut + 4);
    printFile = true;
  }
  WriteFile(dataFile, body);
  if (printFile) WriteFile(specFile, spec);

  cNFile f;
  try {
    if (printFile) f.FileSpec(Variant(specFile));
    f.FileName(Variant(dataFile));
    if (f.ErrStatus()) return;
    const std::int16_t cols = f.NumCols();
    FUZZ_CHECK(cols >= 0, "negative column count", input);
    for (std::int16_t k = 0; k <= cols; ++k) (void)f.HdrCols(k);
    std::int32_t rows = 0;
    while (!f.Eof()) {
      const std::string& line = f.GetRow();
      ++rows;
      FUZZ_CHECK(f.RowNo() == rows, "RowNo does not count the rows read", input);
      FUZZ_CHECK(rows <= static_cast<std::int32_t>(body.size()) + 1, "more rows than the file has",
                 input);
      FUZZ_CHECK(f.RowView() == line, "the line and its view differ", input);
      for (std::int16_t k = 0; k <= cols; ++k) {
        // a comma-separated record with quotes has its values unquoted into the reader's own text
        FUZZ_CHECK(Inside(f.RowCols(k), f.RowView()) || Inside(f.RowCols(k), f.QuotedValues()),
                   "a column value lies outside the current line", input);
        (void)f.getcol(k);
      }
      (void)f.GetColNo(f.HdrCols(0));
    }
    f.CloseFile();
  } catch (const EngineError&) {
    // an error of the call (a count beyond its type, an unreadable file) is a valid answer
  }
}

}  // namespace tarnwick_fuzz
