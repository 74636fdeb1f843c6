#pragma once
// Report workbook: every report of a run written into one .xlsx workbook, one worksheet per
// report, so that auditors can sum, sort and chart the figures in their spreadsheet.
//
// Cells come from the report text: lines end in CR LF (a bare LF is accepted too), columns are
// separated by tabs. A cell whose text is a number as the report patterns render it becomes a
// numeric cell whose number format shows the same text; a month/day/year date becomes a date
// cell; anything else stays text. See ClassifyCell for the exact rules.
// Shares (the percentage columns of ST, RN and KS, the proportions of BE, the rates of SA and
// PR: the ShareCells of the command's layout, report_layout.h) keep their fraction in the cell
// and show as a percentage. Each column is as wide as the
// longest text it shows, at most 60 characters; a line of one cell (a title) runs over instead.
//
// For the reports that read best as a picture (those whose command's layout names a chart: BE,
// ST, UN, AR, WD, RN, KS) a native chart is placed beside the table; it refers to the table's
// cells, located by the report's heading line. Histogram bins and ageing bands get a label column
// beside their table for the chart to name them by, and the Benford table an exact expected count
// per digit.
//
// The workbook is written completely or not at all: it is built under a temporary name in the
// target's folder and renamed over the target by Close. Destroying the object without Close
// leaves no file behind.

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

namespace tarnwick::cli {

struct CombinedChart;

// How one report cell is written.
struct CellValue {
  enum class Kind { Blank, Text, Number, Date };
  Kind kind = Kind::Blank;
  double number = 0.0;  // Number: the value (a percentage as its fraction); Date: the serial
  std::string format;   // Number and Date: the spreadsheet number format
};

// Classifies the text of one cell:
// - "" is Blank.
// - Numbers: an optional "-", digits (grouped by commas in threes, or not grouped), an optional
//   "." with any number of digits, an optional "%" ("1,234.50", "-7", ".50000", "00.0530",
//   "12.50%", "1." and "." as the patterns render 1 and 0 without integer placeholders), or the
//   exponent form of default number text ("1.5E+15"). The format rebuilds the same text:
//   "#,##0.00", "0.00%", "#.00000", "00.0000", "0.0E+00" ...
// - Texts that look like numbers but are kept as text: whole numbers of three or more digits with
//   a leading zero ("00123": codes, ZIP codes; a two-digit "07" is the pattern "00" and stays a
//   number), numbers with more than 15 significant digits (a spreadsheet number cannot hold them
//   exactly), and anything with spaces, signs other than a leading "-", or currency marks.
// - Dates: m/d/yyyy, optionally followed by " h:mm:ss AM" or " PM" (default date text), from
//   1 March 1900 on; earlier dates stay text, since spreadsheet serials before then differ.
CellValue ClassifyCell(std::string_view text);

// A valid worksheet name made from `wanted`, unique among `taken` (compared without regard to
// ASCII case): the characters [ ] : * ? / \ and control characters become "_", a leading or
// trailing apostrophe is dropped, at most 31 characters are kept, an empty name becomes
// `fallback` (itself made valid; "Report" when that is empty too), and a name already taken gets
// " (2)", " (3)" ... with the base shortened to make room.
std::string SheetName(std::string_view wanted, std::string_view fallback,
                      const std::vector<std::string>& taken);

// Category labels for histogram bins given as (start, end): "4.41k – 94.9k". Bounds have three
// significant digits, or more when three would make a bin's two bounds read the same, and a k, M
// or bn for thousands, millions and billions.
std::vector<std::string> BinLabels(const std::vector<std::pair<double, double>>& bins);

// True when bar heights `counts` are too uneven for a linear axis: the largest is more than 50
// times the smallest nonzero one. Zeros are left out (a log axis has no place for them). The
// count charts (histogram, round numbers, weekdays) then get a logarithmic count axis.
bool SkewedCounts(const std::vector<double>& counts);

// The label of an ageing band from `start` up to (not including) `end`, both date serials,
// against the ageing date `asOf`: its ages in days before the ageing date ("1–30", "7"), or
// "in 0–29" for days after it; the open-ended oldest and latest bands read "1171+" and "in 1200+".
// A band that does not line up with the ageing date keeps its dates ("1/5/2023 – 2/4/2023").
std::string AgeBandLabel(double asOf, double start, double end);

class ReportWorkbook {
 public:
  // Prepares the workbook `path`. Raises EngineError: InvalidArgument when `path` is empty or
  // names one of `inputsNotToOverwrite` (the run's script, data and sample files);
  // FileNotFound when its folder does not exist; PermissionDenied or FileAccess when nothing
  // can be written there.
  ReportWorkbook(std::string path, std::vector<std::string> inputsNotToOverwrite);
  ~ReportWorkbook();
  ReportWorkbook(const ReportWorkbook&) = delete;
  ReportWorkbook& operator=(const ReportWorkbook&) = delete;

  // Raises InvalidArgument when one of `inputs` is the workbook's file: for files a run reads
  // or writes that were not known when the workbook was prepared.
  void CheckInputs(const std::vector<std::string>& inputs) const;

  // Adds one report as a worksheet named by `recap` (by `commandCode` when recap is empty).
  // `title` names the chart, when the command has one. A report longer than a worksheet
  // (1,048,576 lines) continues on further worksheets of the same name with " (2)" ... Raises
  // InvalidArgument after Close, or when a cell is longer than a spreadsheet cell holds; after
  // any error here the workbook is given up (nothing is written, Close raises).
  void AddReport(std::string_view recap, std::string_view commandCode, std::string_view reportText,
                 std::string_view title = {});

  // Writes the workbook and renames it to the target. FileAccess when it cannot be written;
  // no file is left behind then. A second Close does nothing.
  void Close();

  // The worksheet names given so far, in order.
  const std::vector<std::string>& SheetNames() const { return sheets_; }
  const std::string& Path() const { return path_; }

 private:
  void Write(std::string_view recap, std::string_view commandCode, std::string_view reportText,
             std::string_view title);
  lxw_format* Format(const std::string& numFormat);
  lxw_format* RightAligned();
  lxw_format* Indented();
  lxw_worksheet* NewSheet(std::string_view wanted, std::string_view fallback);
  // Returns the columns it wrote beside the report (labels, exact counts) and their widest text.
  std::map<std::size_t, std::size_t> AddChart(
      const std::string& sheet, lxw_worksheet* ws, std::string_view code,
      const std::vector<std::vector<std::string_view>>& rows, std::size_t columns,
      std::string_view title);
  void Discard() noexcept;

  std::string path_;
  std::string temp_;
  lxw_workbook* wb_ = nullptr;
  std::vector<std::string> sheets_;
  std::map<std::string, lxw_format*> formats_;
  lxw_format* right_ = nullptr;                           // headings over numbers
  lxw_format* indented_ = nullptr;                        // chart labels beside numbers
  std::vector<std::unique_ptr<CombinedChart>> combined_;  // column charts with a line
  bool closed_ = false;
};

}  // namespace tarnwick::cli
