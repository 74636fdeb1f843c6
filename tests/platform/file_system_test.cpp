#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "tarnwick/core/error.h"
#include "tarnwick/platform/file_system.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

class FileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tw_fs_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string p = (dir_ / name).string();
    std::ofstream(p, std::ios::binary) << bytes;
    return p;
  }
  std::vector<std::string> ReadAll(const std::string& path) {
    std::vector<std::string> lines;
    TextReader r = OpenTextFile(path);
    while (!r.AtEndOfStream()) lines.push_back(r.ReadLine());
    return lines;
  }
  fs::path dir_;
};

TEST_F(FileSystemTest, ReadsLfCrlfAndAMissingLastTerminator) {
  using V = std::vector<std::string>;
  EXPECT_EQ(ReadAll(Write("a", "x\ny\n")), (V{"x", "y"}));
  EXPECT_EQ(ReadAll(Write("b", "x\r\ny\r\n")), (V{"x", "y"}));
  EXPECT_EQ(ReadAll(Write("c", "x\r\n\r\nlast")), (V{"x", "", "last"}));
  EXPECT_EQ(ReadAll(Write("d", "")), V{});
  EXPECT_EQ(ReadAll(Write("e", "\n")), V{""});
  EXPECT_EQ(ReadAll(Write("f", "a\rb\n")), V{"a\rb"});  // a lone CR is text
  EXPECT_EQ(ReadAll(Write("g", "\xff\xfe\x80\n")), V{"\xff\xfe\x80"});
}

// A UTF-8 byte-order mark at the very start is not text; anywhere else, or a part of one, is.
TEST_F(FileSystemTest, ByteOrderMarkAtTheStartIsSkipped) {
  using V = std::vector<std::string>;
  const std::string bom = "\xEF\xBB\xBF";
  EXPECT_EQ(ReadAll(Write("a", bom + "Amount\n1\n")), (V{"Amount", "1"}));
  EXPECT_EQ(ReadAll(Write("b", bom)), V{});  // only the mark: an empty file
  EXPECT_EQ(ReadAll(Write("c", bom + "\n")), V{""});
  EXPECT_EQ(ReadAll(Write("d", bom + bom + "x")), V{bom + "x"});  // one mark only
  EXPECT_EQ(ReadAll(Write("e", "x\n" + bom + "y")), (V{"x", bom + "y"}));
  EXPECT_EQ(ReadAll(Write("f", "\xEF\xBB")), V{"\xEF\xBB"});
  EXPECT_EQ(ReadAll(Write("g", "\xEF\xBBx\n")), V{"\xEF\xBBx"});
  TextReader r = OpenTextFile(Write("h", bom + "ab\n"));
  EXPECT_EQ(r.ReadLine(), "ab");
  EXPECT_EQ(r.BytesRead(), 6);  // the mark counts as read, for progress
}

TEST_F(FileSystemTest, LinesLongerThanTheBufferAndManyLines) {
  std::string big(3 * 1024 * 1024 + 17, 'q');
  std::string content = "head\n";
  content += big;
  content += "\r\ntail";
  for (int i = 0; i < 200000; ++i) {
    content += '\n';
    content += std::to_string(i);
  }
  const auto lines = ReadAll(Write("big", content));
  ASSERT_EQ(lines.size(), 200003u);
  EXPECT_EQ(lines[1], big);
  EXPECT_EQ(lines[2], "tail");
  EXPECT_EQ(lines.back(), "199999");
}

TEST_F(FileSystemTest, ReadingPastTheEndAndMissingFilesRaise) {
  TextReader r = OpenTextFile(Write("one", "only\n"));
  EXPECT_EQ(r.ReadLine(), "only");
  EXPECT_TRUE(r.AtEndOfStream());
  try {
    r.ReadLine();
    FAIL();
  } catch (const EngineError& e) {
    EXPECT_EQ(e.code(), ErrorCode::ReadPastEnd);
  }
  try {
    OpenTextFile((dir_ / "missing").string());
    FAIL();
  } catch (const EngineError& e) {
    EXPECT_EQ(e.code(), ErrorCode::FileNotFound);
  }
  EXPECT_THROW(OpenTextFile(dir_.string()), EngineError);  // a folder is not a text file
  EXPECT_FALSE(FileExists((dir_ / "missing").string()));
  EXPECT_FALSE(FileExists(dir_.string()));
}

TEST_F(FileSystemTest, WriterEndsLinesWithCrLfAndReplacesTheFile) {
  const std::string p = Write("out", "old content that is longer\n");
  TextWriter w = CreateTextFile(p);
  w.WriteLine("a\tb");
  w.WriteLine("");
  w.Write("c");
  w.Close();
  std::ifstream in(p, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(bytes, "a\tb\r\n\r\nc");
  EXPECT_THROW(CreateTextFile((dir_ / "no" / "such" / "dir").string()), EngineError);
}

TEST_F(FileSystemTest, WriteFailureIsReportedOnClose) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  TextWriter w = CreateTextFile("/dev/full");
  w.WriteLine("lost");
  try {
    w.Close();
    FAIL() << "a full disk must not pass silently";
  } catch (const EngineError& e) {
    EXPECT_EQ(e.code(), ErrorCode::FileAccess);
  }
}

TEST_F(FileSystemTest, TempNamesAreFreshAcrossProcesses) {
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old ? old : "";
  ::setenv("TMPDIR", (dir_.string() + "/").c_str(), 1);
  EXPECT_EQ(GetSpecialFolder(2), dir_.string());  // no trailing separator

  // Two processes each take 500 names; no name may repeat.
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    std::string all;
    for (int i = 0; i < 500; ++i) all += GetTempName() + "\n";
    const ssize_t n = ::write(fds[1], all.data(), all.size());
    ::_exit(n == static_cast<ssize_t>(all.size()) ? 0 : 1);
  }
  ::close(fds[1]);
  std::set<std::string> names;
  for (int i = 0; i < 500; ++i) EXPECT_TRUE(names.insert(GetTempName()).second);
  std::string theirs;
  char buf[4096];
  for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;)
    theirs.append(buf, static_cast<std::size_t>(n));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  std::size_t start = 0, count = 0;
  for (std::size_t nl; (nl = theirs.find('\n', start)) != std::string::npos;
       start = nl + 1, ++count)
    EXPECT_TRUE(names.insert(theirs.substr(start, nl - start)).second);
  EXPECT_EQ(count, 500u);
  EXPECT_EQ(TempFilePath().rfind(dir_.string() + "/", 0), 0u);

  if (old)
    ::setenv("TMPDIR", saved.c_str(), 1);
  else
    ::unsetenv("TMPDIR");
}

TEST_F(FileSystemTest, RenameDeleteAndSameFile) {
  const std::string a = Write("a", "1\n"), b = (dir_ / "b").string();
  RenameFile(a, b);
  EXPECT_FALSE(FileExists(a));
  EXPECT_TRUE(FileExists(b));
  EXPECT_TRUE(SameFile(b, (dir_ / "." / "b").string()));
  EXPECT_FALSE(SameFile(b, a));
  EXPECT_TRUE(DeleteFile(b));
  EXPECT_FALSE(DeleteFile(b));
}

}  // namespace
}  // namespace tarnwick
