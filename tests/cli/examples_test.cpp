// Every example shown to a user runs: the example line of each command in `tarnwick HE`, and
// every shell example in README.md (the fenced ```sh blocks after the first, which builds the
// project and runs all tests). Each runs through bash from the repository's root with the
// built tarnwick first on PATH, so an example that a shell would mangle fails here too.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "cli_support.h"

namespace {

using namespace cli_test;

struct Shell {
  int status = -1;
  std::string output;
};

// Runs `command` with bash -c at the repository's root; standard output and error together.
Shell Bash(const std::string& command) {
  const std::string out = ::testing::TempDir() + "/examples_out_" + std::to_string(::getpid());
  const std::string script = ::testing::TempDir() + "/examples_cmd_" + std::to_string(::getpid());
  WriteFile(script, command + "\n");
  const std::string line = "cd '" + std::string(TARNWICK_SOURCE_DIR) + "' && PATH='" +
                           std::string(TARNWICK_BINARY_DIR) + "':\"$PATH\" bash -c \"$(cat '" +
                           script + "')\" > '" + out + "' 2>&1 < /dev/null";
  const int w = std::system(line.c_str());
  Shell r;
  r.status = WIFEXITED(w) ? WEXITSTATUS(w) : -1;
  r.output = ReadAll(out);
  std::remove(out.c_str());
  std::remove(script.c_str());
  return r;
}

// The commands of the fenced ```sh blocks of a Markdown text, one per line, comments and
// blank lines left out; the first `skip` blocks are not taken.
std::vector<std::string> ShellExamples(const std::string& text, int skip) {
  std::vector<std::string> commands;
  bool in = false;
  int block = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!in && line == "```sh") {
      in = true;
      ++block;
      continue;
    }
    if (in && line.rfind("```", 0) == 0) {
      in = false;
      continue;
    }
    if (!in || block <= skip) continue;
    const std::size_t first = line.find_first_not_of(' ');
    if (first == std::string::npos || line[first] == '#') continue;
    commands.push_back(line);
  }
  return commands;
}

TEST(Examples, ExtractedFromFencedShellBlocks) {
  const std::string md =
      "# T\n```sh\nbuild\n```\ntext\n```sh\n# a comment\ntarnwick UN x\n\n  tarnwick HE\n```\n"
      "```\nnot shell\n```\n";
  EXPECT_EQ(ShellExamples(md, 1), (std::vector<std::string>{"tarnwick UN x", "  tarnwick HE"}));
  EXPECT_EQ(ShellExamples(md, 0).front(), "build");
  // A failing example is seen as failing: the check can fail.
  EXPECT_NE(Bash("tarnwick 'ST file=examples/payments.tsv col=Amount strata=0 100 1000'").status,
            0);
}

TEST(Examples, EveryHelpExampleRuns) {
  const Result he = Tarnwick({"HE"});
  ASSERT_EQ(he.status, 0);
  int examples = 0;
  const std::string tag = "        example: ";
  for (std::size_t at = he.out.find(tag); at != std::string::npos; at = he.out.find(tag, at + 1)) {
    const std::size_t from = at + tag.size();
    const std::string command = he.out.substr(from, he.out.find('\n', from) - from);
    const Shell r = Bash(command);
    EXPECT_EQ(r.status, 0) << command << "\n" << r.output;
    ++examples;
  }
  EXPECT_EQ(examples, 25);  // one per command
}

TEST(Examples, EveryReadmeExampleRuns) {
  const std::string readme = ReadAll(std::string(TARNWICK_SOURCE_DIR) + "/README.md");
  const std::vector<std::string> commands = ShellExamples(readme, 1);
  ASSERT_GE(commands.size(), 30u);
  for (const std::string& command : commands) {
    const Shell r = Bash(command);
    EXPECT_EQ(r.status, 0) << command << "\n" << r.output;
  }
}

}  // namespace
