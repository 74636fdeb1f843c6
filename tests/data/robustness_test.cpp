// Random and malformed input: every parser of this area ends in a defined state and never
// reads outside its line (run under the sanitizers to see the latter).

#include <gtest/gtest.h>

#include <random>

#include "tarnwick/data/column_spec.h"
#include "tarnwick/data/typed_reader.h"
#include "temp_files.h"

namespace tarnwick {
namespace {

using testing::TempDir;

std::string RandomText(std::mt19937& rng, std::string_view alphabet, std::size_t maxLen) {
  std::uniform_int_distribution<std::size_t> len(0, maxLen), pick(0, alphabet.size() - 1);
  std::string s(len(rng), ' ');
  for (char& c : s) c = alphabet[pick(rng)];
  return s;
}

TEST(Robustness, SpecificationLinesAndDateCodes) {
  std::mt19937 rng(7);
  const char* codes[] = {"D",    "MDY",  "YMD",  "YDM",  "DMY",  "MDY6", "MYD6", "DMY6", "DYM6",
                         "YMD6", "YDM6", "MDY8", "DMY8", "YMD8", "YDM8", "Q",    ""};
  FixedWidthSpec s;
  for (int i = 0; i < 3000; ++i) {
    const std::string line = RandomText(rng, "\t0123456789.-+ eE$,ANDMY68xa", 24);
    const std::string status = FixedWidthSpec::ValidateLine(line);
    EXPECT_FALSE(status.empty());
    const std::string value = RandomText(rng, "0123456789/-. x", 12);
    for (const char* code : codes) {
      const std::string& out = s.ConvertDate(value, code);
      if (s.PartsValid() && std::string_view(code).size() == 4) {
        EXPECT_EQ(out.size() >= 8, true) << value << " " << code;
      }
    }
  }
}

// Records written as a spreadsheet writes them (a field with a comma, a quote or a line break
// in quotes, its quotes doubled; some plain fields quoted too) read back as the fields written,
// however long; a record without quotes is split in place.
TEST(Robustness, CommaRecordsReadBackAsWrittenAndNeverExceedTheBuffer) {
  TempDir t;
  std::mt19937 rng(11);
  std::string data = "A,B,C\n";
  std::vector<std::vector<std::string>> records;
  std::uniform_int_distribution<int> percent(0, 99);
  for (int i = 0; i < 400; ++i) {
    std::vector<std::string> fields;
    std::string line;
    for (int k = 0; k < 3; ++k) {
      std::string f = RandomText(rng, i % 3 == 0 ? ",\"\nab " : "ab ,1", i % 7 == 0 ? 400 : 10);
      const bool must = f.find_first_of(",\"\n") != std::string::npos;
      if (k == 2 && f.empty() && !must) f = "x";  // an empty last field is not kept
      if (k > 0) line += ',';
      if (must || percent(rng) < 10) {
        line += '"';
        for (const char c : f) line += c == '"' ? std::string("\"\"") : std::string(1, c);
        line += '"';
      } else {
        line += f;
      }
      fields.push_back(f);
    }
    records.push_back(fields);
    data += line + (i % 2 ? "\r\n" : "\n");
  }
  data += "end\n";
  cNFile f;
  f.FileName(t.Write("r.csv", data));
  ASSERT_EQ(f.FileType(), "C");
  for (const std::vector<std::string>& fields : records) {
    const std::string row = f.GetRow();
    for (std::int16_t k = 0; k < 3; ++k)
      EXPECT_EQ(f.getcol(k), fields[static_cast<std::size_t>(k)]) << row;
    if (row.find('"') == std::string::npos) {
      // every value is a piece of the line
      for (std::int16_t k = 0; k < 3; ++k) {
        const std::string_view v = f.getcol(k);
        if (v.empty()) continue;
        EXPECT_GE(v.data(), f.RowView().data());
        EXPECT_LE(v.data() + v.size(), f.RowView().data() + f.RowView().size());
      }
    }
    ASSERT_FALSE(f.ErrStatus()) << f.ErrMsg();
  }
  EXPECT_EQ(f.GetRow(), "end");
  EXPECT_TRUE(f.Eof());
  EXPECT_EQ(f.Row(), 401);
}

TEST(Robustness, PrintLinesOfAnyLength) {
  TempDir t;
  std::mt19937 rng(3);
  std::string data = "H\n";
  for (int i = 0; i < 300; ++i) data += RandomText(rng, "ab 12", 40) + "\n";
  cNFile f;
  f.FileSpec(t.Write("spec.txt", "L\nA\t1\t5\tA\nB\t6\t10\tN\nC\t30\t3\tA\n"));
  f.FileName(t.Write("in.prn", data));
  ASSERT_FALSE(f.ErrStatus()) << f.ErrMsg();
  while (!f.Eof()) {
    const std::string line = f.GetRow();
    for (std::int16_t k = 0; k < 3; ++k) {
      const std::string_view v = f.getcol(k);
      EXPECT_LE(v.size(), line.size());
      EXPECT_NE(line.find(v), std::string::npos);
    }
  }
}

}  // namespace
}  // namespace tarnwick
