#include "output_file.h"

#include "runner.h"
#include "tarnwick/core/error.h"

namespace tarnwick::cli {

OutputFile::OutputFile(const std::string& path, const std::vector<std::string>& inputs) : path_(path) {
  for (const std::string& in : inputs) {
    if (!in.empty() && (in == path || SameFile(in, path))) {
      throw Rejected{"Output: " + path + " is an input of this command; choose another file"};
    }
  }
  // Beside the target, so the final rename stays on one file system.
  const std::size_t slash = path.rfind(kPathSeparator);
  const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  temp_ = dir + "." + GetTempName() + ".part";
  try {
    writer_ = CreateTextFile(temp_);
  } catch (const EngineError& e) {
    // Name the file the user asked for, not the temporary one.
    throw EngineError(e.code(), path);
  }
}

OutputFile::~OutputFile() {
  if (!done_) {
    try {
      writer_.Close();
    } catch (...) {
    }
    DeleteFile(temp_);
  }
}

void OutputFile::Commit() {
  writer_.Close();
  RenameFile(temp_, path_);
  done_ = true;
}

}  // namespace tarnwick::cli
