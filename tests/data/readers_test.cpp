#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "tarnwick/core/error.h"
#include "tarnwick/core/internal/field_split.h"
#include "tarnwick/data/delimited_reader.h"
#include "tarnwick/data/typed_reader.h"
#include "tarnwick/platform/notice.h"
#include "temp_files.h"

namespace tarnwick {
namespace {

using testing::TempDir;

ErrorCode CodeOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const EngineError& e) {
    return e.code();
  }
  ADD_FAILURE() << "no error raised";
  return ErrorCode::InvalidArgument;
}

TEST(DelimitedReader, HeaderFieldsAndLookups) {
  TempDir t;
  cFile f;
  f.FileName(t.Write("a.txt", "Amount\tDate\r\n5\t\t7\r\n\r\n\"Smith, J\"\tx\r\n"));
  EXPECT_EQ(f.cols(), 0);
  EXPECT_EQ(f.Headers(), "Amount\tDate");
  EXPECT_EQ(f.cols(), 2);
  EXPECT_EQ(f.GetColNo("amount"), 0);
  EXPECT_EQ(f.GetColNo("DATE"), 1);
  EXPECT_EQ(f.GetColNo("Amt"), -1);
  EXPECT_EQ(f.HdrCols(99), "Date");
  EXPECT_EQ(CodeOf([&] { (void)f.getcol(0); }), ErrorCode::SubscriptOutOfRange);  // no row yet

  EXPECT_EQ(f.GetRow(), "5\t\t7");
  EXPECT_EQ(f.getcol(0), "5");
  EXPECT_EQ(f.getcol(1), "");
  EXPECT_EQ(f.getcol(5), "7");  // clamped to the last field
  EXPECT_EQ(CodeOf([&] { (void)f.getcol(-1); }), ErrorCode::SubscriptOutOfRange);
  EXPECT_EQ(f.GetRow(), "");
  EXPECT_EQ(f.getcol(0), "");
  EXPECT_FALSE(f.Eof());
  EXPECT_EQ(f.GetRow(), "\"Smith, J\"\tx");
  EXPECT_EQ(f.getcol(0), "\"Smith, J\"");  // quotes are data
  EXPECT_EQ(f.ThisRow(), "\"Smith, J\"\tx");
  EXPECT_TRUE(f.Eof());
  EXPECT_EQ(f.Row(), 3);
  EXPECT_EQ(f.GetRow(), "");
  EXPECT_EQ(f.Row(), 3);
  EXPECT_TRUE(f.CloseFile());
  EXPECT_TRUE(f.CloseFile());
}

TEST(DelimitedReader, MissingAndHeaderOnlyFiles) {
  TempDir t;
  cFile missing;
  missing.FileName(t.Path("none.txt"));
  EXPECT_FALSE(missing.OpenFile());
  EXPECT_EQ(CodeOf([&] { missing.Headers(); }), ErrorCode::FileNotFound);
  EXPECT_EQ(CodeOf([&] { (void)missing.GetColNo("x"); }), ErrorCode::SubscriptOutOfRange);

  cFile only;
  only.FileName(t.Write("h.txt", "A\tB\n"));
  EXPECT_EQ(only.Headers(), "A\tB");
  EXPECT_FALSE(only.Eof());
  EXPECT_EQ(CodeOf([&] { only.GetRow(); }), ErrorCode::ReadPastEnd);

  cFile empty;
  empty.FileName(t.Write("e.txt", "\nx\n"));
  EXPECT_EQ(empty.Headers(), "");
  EXPECT_EQ(empty.cols(), 0);
  EXPECT_EQ(CodeOf([&] { (void)empty.HdrCols(0); }), ErrorCode::SubscriptOutOfRange);
}

TEST(DelimitedReader, TrivialFiltersSelectWithoutParsing) {
  TempDir t;
  cFile f;
  f.FileName(t.Write("a.txt", "A\n1\n"));
  f.Headers();
  f.GetRow();
  EXPECT_TRUE(f.IsSelected());
  f.Infix("1=1");
  EXPECT_TRUE(f.IsSelected());
  EXPECT_EQ(f.ans(), "");
}

TEST(TypedReader, DetectsTabAndCommaLayouts) {
  TempDir t;
  cNFile tab;
  tab.FileName(t.Write("t.txt", "Name\tAmount\nAl\t5\nBo\n"));
  EXPECT_EQ(tab.FileType(), "T");
  EXPECT_EQ(tab.NumCols(), 2);
  EXPECT_EQ(tab.Row(), 0);
  EXPECT_EQ(tab.GetRow(), "Al\t5");
  EXPECT_EQ(tab.GetRow(), "Bo");
  EXPECT_EQ(tab.getcol(1), "");  // missing fields read ""
  EXPECT_EQ(tab.getcol(99), "");
  EXPECT_EQ(tab.getcol(0), "Bo");
  EXPECT_EQ(tab.RowCols(-4), "Bo");
  EXPECT_EQ(tab.HdrCols(99), "");  // the empty slot after the last column
  EXPECT_EQ(tab.HdrCols(1), "Amount");
  EXPECT_TRUE(tab.Eof());
  EXPECT_EQ(tab.GetRow(), "");
  EXPECT_EQ(tab.Row(), 2);

  cNFile csv;
  csv.FileName(t.Write("c.csv", "Vendor,Amount,Note\n\"Smith, J\",12.50,a \"\"b\"\"\nJones,7,\n"));
  EXPECT_EQ(csv.FileType(), "C");
  EXPECT_EQ(csv.NumCols(), 3);
  EXPECT_EQ(csv.GetColNo("amount"), 1);
  EXPECT_EQ(csv.GetColNo("Total"), -1);
  csv.GetRow();
  EXPECT_EQ(csv.getcol(0), "Smith, J");
  EXPECT_EQ(csv.getcol(1), "12.50");
  EXPECT_EQ(csv.getcol(2), "a \"\"b\"\"");  // quotes in a field not quoted are characters
  csv.GetRow();
  EXPECT_EQ(csv.getcol(99), "");  // a trailing comma gives no empty last field...
  EXPECT_EQ(csv.getcol(1), "7");  // ...and the columns before it are in place
  EXPECT_EQ(csv.HdrCols(2), "Note");
  EXPECT_FALSE(csv.ErrStatus());
}

TEST(TypedReader, RewindsAfterGuessingTypes) {
  TempDir t;
  std::string data = "Id\tAmount\tWhen\tMixed\tHalf\n";
  for (int i = 1; i <= 30; ++i) {
    data += std::to_string(i) + "\t" + std::to_string(i) + ".25\t1/" + std::to_string(i % 28 + 1) +
            "/2008\t" + (i <= 11 ? "12" : "text") + "\t" + (i <= 10 ? "5" : "") + "\n";
  }
  cNFile f;
  f.FileName(t.Write("t.txt", data));
  EXPECT_EQ(f.Row(), 0);
  EXPECT_EQ(f.ctype(0), "N");
  EXPECT_EQ(f.ctype(1), "N");
  EXPECT_EQ(f.ctype(2), "D");
  EXPECT_EQ(f.ctype(3), "N");  // 11 numbers, 10 texts in the 21 sampled lines
  EXPECT_EQ(f.ctype(4), "A");  // 10 numbers, 11 empty values
  EXPECT_EQ(f.ctype(99), "A");
  EXPECT_EQ(f.GetRow(), "1\t1.25\t1/2/2008\t12\t5");
  int n = 1;
  while (!f.Eof()) {
    f.GetRow();
    ++n;
  }
  EXPECT_EQ(n, 30);
  EXPECT_EQ(f.Row(), 30);
  EXPECT_EQ(f.getcol(0), "30");
}

TEST(TypedReader, ReadingErrors) {
  TempDir t;
  cNFile missing;
  missing.FileName(t.Path("none.txt"));
  EXPECT_TRUE(missing.ErrStatus());
  EXPECT_EQ(missing.ErrMsg(), "Unable to open " + t.Path("none.txt"));
  EXPECT_TRUE(missing.Eof());
  EXPECT_EQ(missing.HdrCols(0), "");
  EXPECT_EQ(missing.GetColNo("x"), -1);

  for (const char* body : {"A\tB\n", ""}) {
    cNFile only;
    only.FileName(t.Write("h.txt", body));
    EXPECT_TRUE(only.ErrStatus());
    EXPECT_EQ(only.ErrMsg(), "File has insufficient data");
    EXPECT_EQ(only.Hdr(), "");
  }
}

// A header without a comma is a tab-delimited header, one column when it has no TAB either;
// with a comma the layout goes by which separator gives more fields, as before.
TEST(TypedReader, HeaderWithoutACommaIsTabDelimited) {
  TempDir t;
  struct Case {
    std::string body, type;
    int cols;
    std::string firstValue;
  };
  for (const Case& c : std::vector<Case>{
           {"Amount\n1,234.56\n", "T", 1, "1,234.56"},
           {"\"Amount\"\n1,234.56\n", "T", 1, "1,234.56"},
           {"Amount\tVendor\n1,234.56\tA, B\n", "T", 2, "1,234.56"},
           {"Amount,Vendor\n1,234.56,x\n", "C", 2, "1"},
           {"A,B\tC\n1,2\t3\n", "C", 2, "1"},  // 2 comma fields against 2 TAB fields
           {"\"Amount, net\"\n\"1,234.56\"\n", "C", 1, "1,234.56"},
       }) {
    cNFile f;
    f.FileName(t.Write("h.txt", c.body));
    ASSERT_FALSE(f.ErrStatus()) << f.ErrMsg();
    EXPECT_EQ(f.FileType(), c.type) << c.body;
    EXPECT_EQ(f.NumCols(), c.cols) << c.body;
    f.GetRow();
    EXPECT_EQ(f.getcol(0), c.firstValue) << c.body;
  }
}

// Quoted fields as spreadsheets write them. A record with a quoted line break is one row; its
// ThisRow holds its lines with LF between them; later records keep their numbers.
TEST(TypedReader, QuotedCommaSeparatedRecords) {
  TempDir t;
  cNFile f;
  f.FileName(t.Write("q.csv",
                     "\"Vendor \"\"name\"\"\",Memo,Amount\r\n"
                     "\"Acme, Inc.\",\"two\r\nlines, \"\"quoted\"\"\",5\r\n"
                     "\"\",\"\"\"\",\"\"\r\n"
                     "a\"b,\"x\"y,7\r\n"
                     "plain,row,8\r\n"));
  ASSERT_FALSE(f.ErrStatus()) << f.ErrMsg();
  EXPECT_EQ(f.FileType(), "C");
  EXPECT_EQ(f.NumCols(), 3);
  EXPECT_EQ(f.HdrCols(0), "Vendor \"name\"");
  EXPECT_EQ(f.GetColNo("VENDOR \"NAME\""), 0);
  EXPECT_EQ(f.GetRow(), "\"Acme, Inc.\",\"two\nlines, \"\"quoted\"\"\",5");
  EXPECT_EQ(f.getcol(0), "Acme, Inc.");
  EXPECT_EQ(f.getcol(1), "two\nlines, \"quoted\"");
  EXPECT_EQ(f.getcol(2), "5");
  EXPECT_EQ(f.Row(), 1);
  f.GetRow();  // empty quoted fields, one holding a quote
  EXPECT_EQ(f.getcol(0), "");
  EXPECT_EQ(f.getcol(1), "\"");
  EXPECT_EQ(f.getcol(2), "");
  f.GetRow();  // a quote inside an unquoted field is a character; text after a closing quote goes
               // on
  EXPECT_EQ(f.getcol(0), "a\"b");
  EXPECT_EQ(f.getcol(1), "xy");
  EXPECT_EQ(f.getcol(2), "7");
  EXPECT_EQ(f.GetRow(), "plain,row,8");
  EXPECT_EQ(f.getcol(1), "row");
  EXPECT_TRUE(f.Eof());
  EXPECT_EQ(f.Row(), 4);
  f.Infix("$Memo = 'row' OR $Vendor = 'Acme, Inc.'");
  EXPECT_TRUE(f.IsSelected());

  // A quote never closed: the record ends with the file, and the message names its first line.
  cNFile open;
  open.FileName(t.Write("open.csv", "A,B\n1,2\n3,\"4\n5,6\n"));
  EXPECT_TRUE(open.ErrStatus());
  EXPECT_EQ(open.ErrMsg(), "Line 3 has a quoted field that is not closed");
  EXPECT_EQ(open.GetRow(), "1,2");
  EXPECT_EQ(open.GetRow(), "3,\"4\n5,6");
  EXPECT_EQ(open.getcol(1), "4\n5,6");
  EXPECT_TRUE(open.Eof());
  EXPECT_EQ(open.Row(), 2);
}

// A byte-order mark is not part of the first column's name, in every layout.
TEST(TypedReader, ByteOrderMarkIsNotPartOfTheFirstName) {
  TempDir t;
  const std::string bom = "\xEF\xBB\xBF";
  for (const std::string& body :
       {bom + "Amount\tVendor\n5\tA\n", bom + "Amount,Vendor\n5,A\n", bom + "Amount\n5\n"}) {
    cNFile f;
    f.FileName(t.Write("b.txt", body));
    EXPECT_EQ(f.HdrCols(0), "Amount") << body;
    EXPECT_EQ(f.GetColNo("amount"), 0) << body;
    EXPECT_EQ(f.Hdr().substr(0, 6), "Amount") << body;
  }
  cFile d;
  d.FileName(t.Write("d.txt", bom + "Amount\tVendor\n5\tA\n"));
  EXPECT_EQ(d.Headers(), "Amount\tVendor");
  EXPECT_EQ(d.GetColNo("AMOUNT"), 0);
  // a print file's first line is skipped as its header, mark and all
  cNFile p;
  p.FileSpec(t.Write("spec.txt", bom + "Layout\nName\t1\t4\tA\n"));
  p.FileName(t.Write("p.prn", bom + "HEAD\nAbcd\n"));
  ASSERT_FALSE(p.ErrStatus()) << p.ErrMsg();
  EXPECT_EQ(p.HdrCols(0), "Name");
  p.GetRow();
  EXPECT_EQ(p.getcol(0), "Abcd");
}

TEST(TypedReader, MoreThan101CommaFieldsKeepTheirPlace) {
  TempDir t;
  std::string header, row;
  for (int i = 0; i < 101; ++i) header.append(i ? ",C" : "C").append(std::to_string(i));
  for (int i = 0; i < 103; ++i) row.append(i ? "," : "").append(std::to_string(i));
  cNFile f;
  f.FileName(t.Write("wide.csv", header + "\n" + row + "\n1,2\n"));
  EXPECT_EQ(f.NumCols(), 101);
  EXPECT_TRUE(f.ErrStatus());  // the type guess has read the wide line already
  EXPECT_EQ(f.ErrMsg(), "Line 2 has more than 101 fields");
  f.GetRow();
  EXPECT_EQ(f.getcol(100), "100");
  EXPECT_EQ(f.getcol(0), "0");
  f.GetRow();
  EXPECT_EQ(f.getcol(1), "2");
  EXPECT_EQ(f.getcol(2), "");

  cNFile wide;
  wide.FileName(t.Write("wider.csv", row + "\n" + row + "\n"));
  EXPECT_EQ(wide.NumCols(), 101);
  EXPECT_EQ(wide.ErrMsg(), "Line 1 has more than 101 fields");
  EXPECT_EQ(wide.HdrCols(100), "100");
}

// Name 1-10, Amount 11-18 (N), When 19-26 (MDY8).
constexpr const char* kSpec = "Layout\nName\t1\t10\tA\nAmount\t11\t8\tN\nWhen\t19\t8\tMDY8\n";

// One print line in that layout: name left-aligned, amount right-aligned, then the rest.
std::string P(std::string name, std::string amount, std::string rest) {
  name.resize(10, ' ');
  amount.insert(0, amount.size() < 8 ? 8 - amount.size() : 0, ' ');
  return name + amount + rest;
}

TEST(TypedReader, PrintFileBySpecification) {
  TempDir t;
  cNFile f;
  f.FileSpec(t.Write("spec.txt", kSpec));
  EXPECT_EQ(f.FileType(), "F");
  EXPECT_TRUE(f.SpecValid());
  f.FileName(
      t.Write("in.prn", "REPORT HEADING\n" + P("  Alice", "100.50", "12312007\n") +
                            P("Bob", "20.25", "01012008  \n") +
                            P("Carol", "1.00", "  1231\n") +  // two short of the last field's end
                            "Dan       \n"));
  EXPECT_FALSE(f.ErrStatus()) << f.ErrMsg();
  EXPECT_EQ(f.NumCols(), 3);
  EXPECT_EQ(f.Hdr(), "REPORT HEADING");
  EXPECT_EQ(f.HdrCols(1), "Amount");
  EXPECT_EQ(f.GetColNo("when"), 2);
  EXPECT_EQ(f.ctype(0), "A");
  EXPECT_EQ(f.ctype(1), "N");
  EXPECT_EQ(f.ctype(2), "D");
  f.GetRow();
  EXPECT_EQ(f.getcol(0), "Alice");  // trimmed
  EXPECT_EQ(f.getcol(1), "100.50");
  EXPECT_EQ(f.getcol(2), "12312007");  // ends on the last character: from the right, untrimmed
  f.GetRow();
  EXPECT_EQ(f.getcol(1), "20.25");
  f.GetRow();
  EXPECT_EQ(f.getcol(2), "00  1231");
  f.GetRow();
  EXPECT_EQ(f.getcol(0), "Dan       ");
  EXPECT_EQ(f.getcol(1), "n       ");  // the last 8 characters of the line
  EXPECT_EQ(f.getcol(2), "n       ");
  EXPECT_TRUE(f.Eof());
  EXPECT_EQ(f.Row(), 4);

  f.ParsePrn(P("Zed", "3.00", "01012008 "), "D");
  EXPECT_EQ(f.getcol(0), "Zed");
  EXPECT_EQ(f.getcol(1), "3.00");
}

TEST(TypedReader, PrintSpecificationErrors) {
  TempDir t;
  cNFile bad;
  bad.FileSpec(t.Write("spec.txt", "Layout\nName\t1\t10\tA\nAmount\televen\t8\tN\n"));
  EXPECT_FALSE(bad.SpecValid());
  EXPECT_EQ(bad.Error(), "non numeric starting position eleven");
  EXPECT_EQ(bad.SpecError(), "\r\nnon numeric starting position eleven");
  bad.FileName(t.Write("in.prn", "H\nx\n"));
  EXPECT_TRUE(bad.ErrStatus());
  EXPECT_EQ(bad.ErrMsg(), "Row 2 invalid start ");

  cNFile len;
  len.FileSpec(t.Write("spec2.txt", "Layout\nName\t1\tten\tA\n"));
  len.FileName(t.Path("in.prn"));
  EXPECT_EQ(len.ErrMsg(), "Row 1 invalid length ");

  // a specification that does not load is not used to cut lines
  cNFile stale;
  stale.FileSpec(t.Write("spec3.txt", "Layout\nName\t1\t10\tpct\n"));
  stale.FileName(t.Path("in.prn"));
  EXPECT_TRUE(stale.ErrStatus());
  EXPECT_EQ(stale.ErrMsg(), "Invalid specification " + t.Path("spec3.txt"));

  cNFile nospec;
  nospec.FileSpec(t.Path("missing.txt"));
  EXPECT_EQ(nospec.FileType(), "");
  EXPECT_EQ(nospec.SpecError(), "File not found: " + t.Path("missing.txt") + "\r\n\r\n");
}

TEST(TypedReader, ConversionThroughTheReader) {
  TempDir t;
  cNFile f;
  f.FileSpec(t.Write("spec.txt", kSpec));
  f.FileName(
      t.Write("in.prn", P("Alice", "100.50", "12312007\n") + P("Bob", "oops", "01012008\n")));
  f.OutFile(t.Path("out.txt"));
  f.Process();
  EXPECT_EQ(TempDir::Read(t.Path("out.txt")),
            "Name\tAmount\tWhen\t\r\nAlice     \t  100.50\t12312007\t\r\nBob       \t    "
            "oops\t01012008\t\r\n");
  EXPECT_NE(f.ErrorReport().find("Rows processed:\t2\r\n"), std::string::npos);
  EXPECT_NE(f.ErrorReport().find("At row  2 : oops is non-numeric Col: \tAmount\r\n"),
            std::string::npos);

  NoticeCapture notices;
  f.OutFile(t.Path("no/dir/out.txt"));
  f.Process();
  ASSERT_EQ(notices.texts().size(), 1u);
  EXPECT_EQ(notices.texts()[0], f.Spec().Log());
  EXPECT_NE(notices.texts()[0].find("Can't create file: " + t.Path("no/dir/out.txt") + "\r\n"),
            std::string::npos);
}

TEST(TypedReader, NewFileNameStartsAfresh) {
  TempDir t;
  cNFile f;
  f.FileName(t.Write("t.txt", "A\tB\n1\t2\n3\t4\n"));
  f.GetRow();
  f.FileName(t.Write("c.csv", "X,Y,Z\n5,6,7\n"));
  EXPECT_EQ(f.FileType(), "C");
  EXPECT_EQ(f.NumCols(), 3);
  EXPECT_EQ(f.HdrCols(0), "X");
  EXPECT_EQ(f.GetRow(), "5,6,7");
  EXPECT_EQ(f.getcol(2), "7");
  EXPECT_EQ(f.Row(), 1);
  EXPECT_TRUE(f.CloseFile());
  EXPECT_TRUE(f.Eof());
  EXPECT_EQ(f.GetRow(), "");
  EXPECT_TRUE(f.OpenFile());  // reopens at the header line
  EXPECT_EQ(f.GetRow(), "X,Y,Z");
}

TEST(FieldSplit, TabViewsAcrossSixteenByteStretchesAndLimits) {
  // Tabs on either side of each 16-byte stretch, empty fields, and a long last field.
  const std::string line =
      std::string(15, 'a') + "\t" + std::string(16, 'b') + "\t\t" + "c\t" + std::string(40, 'd');
  std::vector<std::string_view> f;
  SplitTabViews(line, f);
  ASSERT_EQ(f.size(), 5u);
  EXPECT_EQ(f[0], std::string(15, 'a'));
  EXPECT_EQ(f[1], std::string(16, 'b'));
  EXPECT_EQ(f[2], "");
  EXPECT_EQ(f[3], "c");
  EXPECT_EQ(f[4], std::string(40, 'd'));
  for (std::size_t max = 1; max <= 6; ++max) {
    std::vector<std::string_view> g;
    SplitTabViews(line, g, max);
    ASSERT_EQ(g.size(), std::min<std::size_t>(max, 5)) << max;
    for (std::size_t k = 0; k < g.size(); ++k) EXPECT_EQ(g[k], f[k]) << max << " " << k;
  }
  SplitTabViews("", f);
  EXPECT_TRUE(f.empty());
  SplitTabViews("\t", f);
  EXPECT_EQ(f.size(), 2u);
  // Every position of a single tab in lines of 1 to 40 bytes.
  for (std::size_t len = 1; len <= 40; ++len) {
    for (std::size_t at = 0; at < len; ++at) {
      std::string l(len, 'x');
      l[at] = '\t';
      SplitTabViews(l, f);
      ASSERT_EQ(f.size(), 2u);
      EXPECT_EQ(f[0].size(), at);
      EXPECT_EQ(f[1].size(), len - at - 1);
    }
  }
}

TEST(TypedReader, RowValuesHoldAcrossReadBlocksAndColumnLimits) {
  // 16-byte lines: the 1 MiB read blocks end exactly at line ends, where the next block is
  // read over the line just handed out.
  TempDir t;
  std::string data = "Number\tAmounts1\n";
  const int rows = 200000;
  char buf[32];
  for (int i = 1; i <= rows; ++i) {
    std::snprintf(buf, sizeof buf, "%06d\t%08d\n", i, rows - i);
    data += buf;
  }
  const std::string path = t.Write("aligned.txt", data);
  for (const bool limited : {false, true}) {
    cNFile f;
    f.FileName(path);
    ASSERT_EQ(f.NumCols(), 2);
    if (limited) f.LimitColumns(1);
    int n = 0;
    int bad = 0;
    while (!f.Eof()) {
      f.NextRow();
      ++n;
      std::snprintf(buf, sizeof buf, "%06d", n);
      const std::string want0 = buf;
      std::snprintf(buf, sizeof buf, "%08d", rows - n);
      const std::string want1 = limited ? "" : buf;
      if (f.RowValues()[0] != want0 || f.RowValues()[1] != want1 || f.getcol(1) != want1 ||
          f.ThisRow() != want0 + "\t" + buf) {
        ++bad;
      }
    }
    EXPECT_EQ(n, rows) << limited;
    EXPECT_EQ(bad, 0) << limited;
  }
  // The limit leaves a filter its whole line.
  cNFile f;
  f.FileName(path);
  f.LimitColumns(1);
  f.Infix("$Amounts1 = 199990");
  int selected = 0;
  while (!f.Eof()) {
    f.NextRow();
    if (f.IsSelected()) {
      ++selected;
      EXPECT_EQ(f.RowView(), "000010\t00199990");
    }
  }
  EXPECT_EQ(selected, 1);
}

}  // namespace
}  // namespace tarnwick
