#pragma once
// What the output writers need to know of a command's report: the chart the workbook draws
// beside it, the cells that hold shares, and the hints of the structured (JSON, CSV) reading.
// Plain data, filled in each command's entry of the command table (commands.cpp), so that a
// command's facts live in one place; the workbook (cli/workbook) and the structured reading
// (structured_report.cpp) look them up by command code with LayoutOf.

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace tarnwick::cli {

// A chart beside a report table (ReportWorkbook). The table is found by its heading line; its
// rows run down while column 0 holds a category (not "Totals") and every value column a number.
struct ChartSpec {
  enum class Kind {
    Columns,         // one column series per value column
    ColumnsAndLine,  // the first value column as columns, the second as a line over them
    Line,            // one line per value column
  };
  // How the heading line is found.
  enum class Heading {
    Cells,        // its first cells read `heads`
    TitleStarts,  // its first cell starts with heads[0]; the series are named `yName`
    ShareColumns  // the first line with two cumulative-share headings; they are the values
  };
  // What is written beside the table for the chart.
  enum class Labels {
    None,
    Bins,           // a label per histogram bin (BinLabels), the chart's categories
    AgeBands,       // a label per ageing band (AgeBandLabel), the chart's categories
    ExactExpected,  // the Benford table's unrounded expected counts
  };
  Kind kind = Kind::Columns;
  Heading heading = Heading::Cells;
  std::vector<std::string_view> heads = {};
  std::vector<std::size_t> values = {};  // value columns (Heading::ShareColumns finds its own)
  const char* title = "";                // when the command line gives no title=
  const char* xName = "";
  const char* yName = "";
  const char* yFormat = "";  // number format of the value axis; "" the cells' own
  Labels labels = Labels::None;
  bool touching = false;   // bars without gaps (a histogram)
  bool logCounts = false;  // a logarithmic axis when the counts are skewed (SkewedCounts)
  bool unitRange = false;  // the value axis runs from 0 to 1 (cumulative shares)
};

// Report cells that hold a share (a fraction shown as a percentage): the numbers under the
// heading `name` down to the next blank line, or (heading false) the value beside the label.
struct ShareCell {
  bool heading;
  std::string_view name;
};

// A table's name in the structured reading: the first unused hint of the command whose `match`
// occurs in the table's header line or in the heading above it. `header2`: a line of two text
// cells holding `match` is a header (two-column tables look like label/value lines otherwise).
// `verbatim`: the column names are data (keys of the second variable) and kept as printed.
struct TableHint {
  const char* match;
  const char* name;
  bool header2 = false;
  bool verbatim = false;
};

// How the structured reading takes the whole report.
struct ReportHint {
  // The title of the summary the command prints when it writes its rows to a file; any other
  // first line is the header of the source's own rows, printed as they are.
  const char* extractTitle = nullptr;
  // Fields are named after their section always (the sections repeat the same labels).
  bool sectionNames = false;
  // The label/value lines form a table of this name, with these two columns.
  const char* fieldsTable = nullptr;
  const char* labelColumn = nullptr;
  const char* valueColumn = nullptr;
};

struct ReportLayout {
  std::optional<ChartSpec> chart = {};  // none: no chart
  std::vector<ShareCell> shares = {};
  std::vector<TableHint> tables = {};
  ReportHint report = {};
};

// The layout of the command `code` (two letters, upper case); nullptr for a code the runner
// does not run.
const ReportLayout* LayoutOf(std::string_view code);

}  // namespace tarnwick::cli
