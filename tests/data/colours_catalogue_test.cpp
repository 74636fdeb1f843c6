#include <gtest/gtest.h>

#include "tarnwick/core/error.h"
#include "tarnwick/data/cell_colours.h"
#include "tarnwick/data/column_catalogue.h"
#include "tarnwick/data/internal/colour_table.h"
#include "temp_files.h"

namespace tarnwick {
namespace {

using testing::TempDir;

TEST(CellColor, WantedColourByNameOrIndex) {
  struct Case {
    Variant wanted;
    std::int16_t index;
  } cases[] = {
      {"sky blue", 33}, {"SkyBlue", 33}, {33, 33},       {"33", 33},   {"none", -4142},
      {"Colored", -1},  {"all", 0},      {"magenta", 0}, {"plum", 54}, {"sea green", 50},
  };
  for (const Case& c : cases) {
    cCellColor cc;
    cc.Color(c.wanted);
    EXPECT_EQ(cc.WantedColor(), c.index) << c.wanted.ToText();
  }
  cCellColor cc;
  EXPECT_THROW(cc.Color(40000), EngineError);
}

TEST(CellColor, Selection) {
  const ValueCell red("x", 3), sky(12.5, 33), bare("x", -4142), automatic("x", -4105),
      empty(Variant{}, 3), emptyText("", 3);
  cCellColor cc;
  cc.Color("sky blue");
  EXPECT_TRUE(cc.IsColored(sky));
  EXPECT_FALSE(cc.IsColored(red));
  EXPECT_EQ(cc.ThisColor(), 3);
  EXPECT_FALSE(cc.IsColored(empty));  // empty cells are never examined
  EXPECT_EQ(cc.ThisColor(), 3);
  EXPECT_FALSE(cc.IsColored(emptyText));

  cc.Color("COLORED");
  EXPECT_TRUE(cc.IsColored(red));
  EXPECT_FALSE(cc.IsColored(bare));
  EXPECT_FALSE(cc.IsColored(automatic));
  cc.Color("magenta");  // unknown name: every non-empty cell
  EXPECT_TRUE(cc.IsColored(bare));
  EXPECT_FALSE(cc.IsColored(empty));
  cc.Color("NONE");
  EXPECT_TRUE(cc.IsColored(bare));
  EXPECT_FALSE(cc.IsColored(red));
}

TEST(CellColor, ValueReaders) {
  cCellColor cc;
  EXPECT_EQ(cc.CellDate(ValueCell(Variant{})).serial(), -1.0);
  EXPECT_TRUE(cc.Err());
  EXPECT_EQ(cc.CellDate(ValueCell("12/31/2007")), *Date::FromYmd(2007, 12, 31));
  EXPECT_FALSE(cc.Err());
  EXPECT_EQ(cc.CellDate(ValueCell(Date(100.0))).serial(), 100.0);
  EXPECT_FALSE(cc.Err());
  EXPECT_EQ(cc.CellDate(ValueCell("soon")), *Date::FromYmd(1900, 1, 1));
  EXPECT_TRUE(cc.Err());

  EXPECT_EQ(cc.CellAmount(ValueCell("1,234.50")), 1234.5);
  EXPECT_FALSE(cc.Err());
  EXPECT_EQ(cc.CellAmount(ValueCell("")), -1.0);
  EXPECT_TRUE(cc.Err());
  EXPECT_EQ(cc.CellAmount(ValueCell("abc")), -1.0);
  EXPECT_TRUE(cc.Err());
  EXPECT_EQ(cc.CellLong(ValueCell(2.5)), 2);
  EXPECT_EQ(cc.CellLong(ValueCell(3.5)), 4);
  EXPECT_FALSE(cc.Err());
  EXPECT_EQ(cc.CellLong(ValueCell("x")), -1);
  EXPECT_TRUE(cc.Err());
  EXPECT_THROW(cc.CellLong(ValueCell(3e9)), EngineError);
}

TEST(Color, TableAndLookups) {
  cColor c;
  EXPECT_EQ(std::string(kColourTable[0].name), "snow");
  EXPECT_EQ(std::string(kColourTable[kColourTableSize - 1].name), "grey100");
  EXPECT_EQ(c.Count(), kColourTableSize);
  struct Case {
    const char* name;
    const char* value;
  } cases[] = {
      {"snow", "fffafa"},
      {"  Ghost White ", "f8f8ff"},
      {"ghostwhite", "f8f8ff"},
      {"GhostWhite", "f8f8ff"},
      {"navy", "000080"},
      {"royal blue", "4169e1"},
      {"grey100", "ffffff"},
      {"gray0", "000000"},
      {"magenta", "ff00ff"},
      {"rebecca purple", ""},
      {"", ""},
      {"ghost  white", ""},
  };
  for (const Case& k : cases) EXPECT_EQ(c.GetColor(k.name), k.value) << k.name;
}

TEST(ColNames, FileWithSamples) {
  TempDir t;
  std::string data = "Date\tVendor\tAmount\n";
  for (int i = 1; i <= 25; ++i) {
    data += "1/" + std::to_string(i) + "/2008\tVendor " + std::to_string(i) + "\t" +
            std::to_string(i * 10) + ".5\n";
    if (i % 4 == 0) data += "\n";  // blank lines are skipped, not counted
  }
  cColNames c;
  c.FileName(t.Write("in.txt", data));
  EXPECT_EQ(c.NumCols(), 3);
  EXPECT_EQ(c.colname(1), "Vendor");
  EXPECT_EQ(c.ColType(0), "D");
  EXPECT_EQ(c.ColType(1), "A");
  EXPECT_EQ(c.ColType(2), "N");
  EXPECT_EQ(c.getd(0), 20);
  EXPECT_EQ(c.geta(1), 20);
  EXPECT_EQ(c.getn(2), 20);
  EXPECT_THROW(c.colname(3), EngineError);
  EXPECT_THROW(c.getn(-1), EngineError);

  c.FileName(t.Path("missing.txt"));  // nothing changes
  EXPECT_EQ(c.NumCols(), 3);
  c.FileName(t.Write("empty.txt", ""));  // the header cannot be read: one column
  EXPECT_EQ(c.NumCols(), 1);
}

TEST(ColNames, RowsTiesAndLimits) {
  cColNames c;
  EXPECT_EQ(c.NumCols(), 1);
  EXPECT_EQ(c.colname(0), "");
  c.Headers("");
  EXPECT_EQ(c.NumCols(), 1);
  c.Headers(" Amount \tText");
  EXPECT_EQ(c.colname(0), " Amount ");
  for (int i = 0; i < 10; ++i) c.AddRow("12\tx");
  for (int i = 0; i < 10; ++i) c.AddRow("\ty\textra\tfields");
  c.AddRow("");                  // ignored
  EXPECT_EQ(c.ColType(0), "A");  // 10 numbers, 10 blanks: a tie keeps A
  EXPECT_EQ(c.geta(0), 10);
  c.AddRow("5");
  EXPECT_EQ(c.ColType(0), "N");
  EXPECT_EQ(c.geta(1), 20);
  c.Headers("When");
  c.AddRow("1/2/2008");
  EXPECT_EQ(c.getd(0), 1);
  EXPECT_EQ(c.getn(0), 0);
  c.AddRow("2008");              // numeric only
  EXPECT_EQ(c.ColType(0), "N");  // 1 date vs 1 number: N is kept over D
  c.Headers("A\tB");
  for (int i = 0; i < 32767; ++i) c.AddRow("x\tx");
  EXPECT_EQ(c.NumCols(), 2);
  c.AddRow("x\tx");  // the tally would pass 32767
  EXPECT_EQ(c.NumCols(), 1);
}

}  // namespace
}  // namespace tarnwick
