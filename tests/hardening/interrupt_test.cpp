// An interrupted run leaves none of its temporary files: the external sort's run files and a
// part-written sample are removed when SIGINT or SIGTERM arrives.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

class Interrupt : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("tw_interrupt_" + std::to_string(::getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_ / "tmp");
    fs::create_directories(root_ / "out");
    // enough amounts for several sort runs of 250,001
    ledger_ = (root_ / "ledger.tsv").string();
    std::ofstream f(ledger_);
    f << "Vendor\tAmount\n";
    std::string rows;
    for (std::int64_t i = 0; i < 3'000'000; ++i) {
      rows += 'V';
      rows += std::to_string(i % 97);
      rows += '\t';
      rows += std::to_string(i * 7919 % 1000003);
      rows += ".25\n";
    }
    f << rows;
  }
  void TearDown() override { fs::remove_all(root_); }

  // Starts the runner with TMPDIR in our folder; returns its process id.
  pid_t Start(const std::vector<std::string>& args) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::setenv("TMPDIR", (root_ / "tmp").c_str(), 1);
      const int devnull = ::open("/dev/null", O_WRONLY);
      ::dup2(devnull, 1);
      ::dup2(devnull, 2);
      std::vector<char*> argv;
      const std::string bin = std::string(TARNWICK_BINARY_DIR) + "/tarnwick";
      argv.push_back(const_cast<char*>(bin.c_str()));
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      ::execv(bin.c_str(), argv.data());
      ::_exit(127);
    }
    return pid;
  }

  // Waits until a file appears in `dir` (the run has temporary files), up to 60 s.
  static bool WaitForFile(const fs::path& dir, pid_t pid) {
    for (int i = 0; i < 6000; ++i) {
      if (!fs::is_empty(dir)) return true;
      int status = 0;
      if (::waitpid(pid, &status, WNOHANG) == pid) return false;  // finished first
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  fs::path root_;
  std::string ledger_;
};

TEST_F(Interrupt, ExternalSortLeavesNoRunFiles) {
  for (const int sig : {SIGINT, SIGTERM}) {
    const pid_t pid = Start({"--max-in-memory", "1", "UN file=" + ledger_ + " col=Amount"});
    ASSERT_TRUE(WaitForFile(root_ / "tmp", pid)) << "the sort made no run file";
    ::kill(pid, sig);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << status;
    EXPECT_TRUE(fs::is_empty(root_ / "tmp")) << "signal " << sig;
  }
}

TEST_F(Interrupt, PartWrittenSampleIsRemoved) {
  const std::string sample = (root_ / "out" / "extract.tsv").string();
  const pid_t pid = Start({"EX file=" + ledger_ + " cond=\"$Amount > 0\" sample=" + sample});
  ASSERT_TRUE(WaitForFile(root_ / "out", pid)) << "no part-written sample seen";
  ::kill(pid, SIGINT);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
  EXPECT_TRUE(fs::is_empty(root_ / "out"));
  EXPECT_TRUE(fs::is_empty(root_ / "tmp"));
}

}  // namespace
