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
  const char* codes[] = {"D", "MDY", "YMD", "YDM", "DMY", "MDY6", "MYD6", "DMY6", "DYM6",
                         "YMD6", "YDM6", "MDY8", "DMY8", "YMD8", "YDM8", "Q", ""};
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

TEST(Robustness, CommaLinesKeepQuotedCommasAndNeverExceedTheBuffer) {
  TempDir t;
  std::mt19937 rng(11);
  std::string data = "A,B,C\n";
  std::vector<std::string> lines;
  for (int i = 0; i < 400; ++i) {
    lines.push_back(RandomText(rng, ",,,\"ab ", i % 7 == 0 ? 400 : 30));
    data += lines.back() + "\n";
  }
  data += "end\n";
  cNFile f;
  f.FileName(t.Write("r.csv", data));
  ASSERT_EQ(f.FileType(), "C");
  for (const std::string& line : lines) {
    ASSERT_EQ(f.GetRow(), line);
    for (std::int16_t k = 0; k < 3; ++k) {
      const std::string_view v = f.getcol(k);
      // every value is a piece of the line
      if (!v.empty()) {
        EXPECT_GE(v.data(), f.RowView().data());
        EXPECT_LE(v.data() + v.size(), f.RowView().data() + f.RowView().size());
      }
    }
    if (line.find('"') == std::string::npos) {
      // without quotes the fields are the comma-separated pieces
      std::vector<std::string> pieces;
      std::size_t from = 0;
      for (std::size_t at; (at = line.find(',', from)) != std::string::npos; from = at + 1)
        pieces.push_back(line.substr(from, at - from));
      if (from < line.size()) pieces.push_back(line.substr(from));
      for (std::size_t k = 0; k < 3; ++k)
        EXPECT_EQ(f.getcol(static_cast<std::int16_t>(k)), k < pieces.size() ? pieces[k] : "") << line;
    }
  }
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
