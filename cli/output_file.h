#pragma once
// A file the runner writes (a sample, an extract): written under a temporary name beside the
// target and renamed over it only when complete, so a failed run leaves nothing behind and
// never a half-written file. It never replaces one of the run's input files.

#include <string>
#include <vector>

#include "tarnwick/platform/file_system.h"

namespace tarnwick::cli {

class OutputFile {
 public:
  // Throws Rejected (see runner.h) when `path` names one of `inputs`.
  OutputFile(const std::string& path, const std::vector<std::string>& inputs);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  void WriteLine(std::string_view text) { writer_.WriteLine(text); }
  std::int64_t Lines() const { return lines_; }
  // Closes the temporary file and renames it to the target.
  void Commit();

 private:
  std::string path_;
  std::string temp_;
  TextWriter writer_;
  std::int64_t lines_ = 0;
  bool done_ = false;
  bool direct_ = false;  // a device or pipe, written in place
};

}  // namespace tarnwick::cli
