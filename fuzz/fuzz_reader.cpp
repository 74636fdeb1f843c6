#include <unistd.h>

#include <cstdlib>
#include <string>

#include "reader_props.h"

namespace {
std::string g_dir;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // A memory file system where there is one: rewriting a file on disk for every input makes
  // the file system flush it on close, which slows the fuzzer a hundredfold.
  char shm[] = "/dev/shm/tarnwick-fuzz-reader-XXXXXX";
  char tmp[] = "/tmp/tarnwick-fuzz-reader-XXXXXX";
  char* dir = ::mkdtemp(shm);
  if (dir == nullptr) dir = ::mkdtemp(tmp);
  if (dir == nullptr) std::abort();
  g_dir = dir;
  std::atexit([] {
    std::remove((g_dir + "/data.txt").c_str());
    std::remove((g_dir + "/spec.txt").c_str());
    std::remove(g_dir.c_str());
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tarnwick_fuzz::Reader(data, size, g_dir + "/data.txt", g_dir + "/spec.txt");
  return 0;
}
