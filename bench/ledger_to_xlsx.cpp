// Writes a tab-separated ledger (generate_ledger's) as an .xlsx workbook with libxlsxwriter in
// its constant-memory mode, for timing the runner's workbook source against the same rows as a
// tab-separated file.
//
//   ledger_to_xlsx [--shared-strings] IN.tsv OUT.xlsx
//
// Columns named InvDate become date cells (m/d/yyyy); Amount, Account and CheckNum numbers;
// the others strings: inline strings, as the constant-memory mode writes them, or with
// --shared-strings the workbook's shared-string table (as spreadsheet programs write them; the
// whole sheet is then held in memory while it is written).

#include <xlsxwriter.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tarnwick/core/numeric_text.h"

int main(int argc, char** argv) {
  const bool shared = argc == 4 && std::string(argv[1]) == "--shared-strings";
  if (argc != 3 && !shared) {
    std::fprintf(stderr, "usage: ledger_to_xlsx [--shared-strings] IN.tsv OUT.xlsx\n");
    return 2;
  }
  const char* inPath = argv[argc - 2];
  const char* outPath = argv[argc - 1];
  std::ifstream in(inPath, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "ledger_to_xlsx: cannot read %s\n", inPath);
    return 1;
  }
  lxw_workbook_options options = {};
  options.constant_memory = shared ? LXW_FALSE : LXW_TRUE;
  lxw_workbook* wb = workbook_new_opt(outPath, &options);
  lxw_worksheet* ws = workbook_add_worksheet(wb, "Ledger");
  lxw_format* date = workbook_add_format(wb);
  format_set_num_format(date, "m/d/yyyy");
  std::string line;
  std::vector<std::string> header;
  std::vector<char> kind;  // d date, n number, s string
  lxw_row_t row = 0;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::size_t start = 0;
    for (lxw_col_t col = 0;; ++col) {
      const std::size_t tab = line.find('\t', start);
      const std::string field =
          line.substr(start, tab == std::string::npos ? std::string::npos : tab - start);
      if (row == 0) {
        header.push_back(field);
        kind.push_back(field == "InvDate"                                               ? 'd'
                       : field == "Amount" || field == "Account" || field == "CheckNum" ? 'n'
                                                                                        : 's');
        worksheet_write_string(ws, row, col, field.c_str(), nullptr);
      } else if (col < kind.size() && kind[col] == 'd' && tarnwick::ParseDate(field)) {
        worksheet_write_number(ws, row, col, tarnwick::ParseDate(field)->serial(), date);
      } else if (col < kind.size() && kind[col] == 'n' && tarnwick::ParseNumber(field)) {
        worksheet_write_number(ws, row, col, *tarnwick::ParseNumber(field), nullptr);
      } else {
        worksheet_write_string(ws, row, col, field.c_str(), nullptr);
      }
      if (tab == std::string::npos) break;
      start = tab + 1;
    }
    ++row;
  }
  if (workbook_close(wb) != LXW_NO_ERROR) {
    std::fprintf(stderr, "ledger_to_xlsx: cannot write %s\n", outPath);
    return 1;
  }
  return 0;
}
