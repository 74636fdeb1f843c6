// Every kept fuzz input is replayed through the same property checks the fuzzers use, so the
// corpora are a regression suite of the normal and the sanitizer builds as well.
#define TARNWICK_FUZZ_REPLAY 1

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "../../fuzz/command_shell_props.h"
#include "../../fuzz/expression_props.h"
#include "../../fuzz/format_number_props.h"
#include "../../fuzz/number_text_props.h"
#include "../../fuzz/reader_props.h"
#include "tarnwick/platform/file_system.h"

namespace fs = std::filesystem;

namespace {

std::vector<fs::path> CorpusFiles(const std::string& target) {
  std::vector<fs::path> files;
  const fs::path dir = fs::path(TARNWICK_SOURCE_DIR) / "fuzz" / "corpus" / target;
  if (fs::is_directory(dir))
    for (const auto& e : fs::directory_iterator(dir))
      if (e.is_regular_file()) files.push_back(e.path());
  std::sort(files.begin(), files.end());
  return files;
}

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

template <typename Run>
void Replay(const std::string& target, Run run) {
  const auto files = CorpusFiles(target);
  ASSERT_GE(files.size(), 10u) << "corpus of " << target << " is missing";
  for (const auto& file : files) {
    const std::string bytes = Slurp(file);
    try {
      run(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    } catch (const std::logic_error& e) {
      ADD_FAILURE() << file.filename() << ": " << e.what();
    }
  }
}

}  // namespace

TEST(FuzzCorpusReplay, NumberAndDateText) { Replay("fuzz_number_text", tarnwick_fuzz::NumberText); }

TEST(FuzzCorpusReplay, NumberPatterns) {
  Replay("fuzz_format_number", tarnwick_fuzz::FormatNumberInput);
}

TEST(FuzzCorpusReplay, CommandLayer) {
  const std::string dataFile = tarnwick::TempFilePath();
  Replay("fuzz_command_shell", [&](const std::uint8_t* data, std::size_t size) {
    tarnwick_fuzz::CommandShell(data, size, dataFile);
  });
  std::error_code ec;
  fs::remove(dataFile, ec);
}

TEST(FuzzCorpusReplay, RowFilters) { Replay("fuzz_expression", tarnwick_fuzz::Expression); }

TEST(FuzzCorpusReplay, TypedReader) {
  const std::string dataFile = tarnwick::TempFilePath();
  const std::string specFile = tarnwick::TempFilePath();
  Replay("fuzz_reader", [&](const std::uint8_t* data, std::size_t size) {
    tarnwick_fuzz::Reader(data, size, dataFile, specFile);
  });
  std::error_code ec;
  fs::remove(dataFile, ec);
  fs::remove(specFile, ec);
}
