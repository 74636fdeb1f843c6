#include <unistd.h>

#include <cstdlib>
#include <string>

#include "command_shell_props.h"

namespace {
std::string g_dataFile;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char dir[] = "/tmp/tarnwick-fuzz-shell-XXXXXX";
  if (::mkdtemp(dir) == nullptr) std::abort();
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
