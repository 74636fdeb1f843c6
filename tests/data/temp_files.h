#pragma once
// Test helpers: a private temporary folder removed afterwards, and files written into it.

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace tarnwick::testing {

class TempDir {
 public:
  TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "tarnwick-data-XXXXXX").string();
    dir_ = ::mkdtemp(tmpl.data());
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  std::string Path(std::string_view name) const { return dir_ + "/" + std::string(name); }
  // Writes the bytes exactly as given (line ends included).
  std::string Write(std::string_view name, std::string_view bytes) const {
    const std::string p = Path(name);
    std::ofstream(p, std::ios::binary) << bytes;
    return p;
  }
  static std::string Read(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  }
  const std::string& dir() const { return dir_; }

 private:
  std::string dir_;
};

}  // namespace tarnwick::testing
