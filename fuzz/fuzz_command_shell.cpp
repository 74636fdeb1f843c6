#include <unistd.h>

#include <cstdlib>
#include <string>

#include "command_shell_props.h"

namespace {
std::string g_dataFile;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // A memory file system where there is one: rewriting a file on disk for every input makes
  // the file system flush it on close, which slows the fuzzer a hundredfold.
  char shm[] = "/dev/shm/tarnwick-fuzz-shell-XXXXXX";
  char tmp[] = "/tmp/tarnwick-fuzz-shell-XXXXXX";
  char* dir = ::mkdtemp(shm);
  if (dir == nullptr) dir = ::mkdtemp(tmp);
  if (dir == nullptr) std::abort();
  g_dataFile = std::string(dir) + "/data.txt";
  std::atexit([] {
    std::remove(g_dataFile.c_str());
    std::remove(g_dataFile.substr(0, g_dataFile.rfind('/')).c_str());
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tarnwick_fuzz::CommandShell(data, size, g_dataFile);
  return 0;
}
