#include "output_file.h"

#include <sys/stat.h>

#include "runner.h"
#include "tarnwick/core/error.h"

namespace tarnwick::cli {

OutputFile::OutputFile(const std::string& path, const std::vector<std::string>& inputs)
    : path_(path) {
  for (const std::string& in : inputs) {
    if (!in.empty() && (in == path || SameFile(in, path))) {
      throw Rejected{"Output: " + path + " is an input of this command; choose another file"};
    }
  }
  // A device or pipe (/dev/null, say) is written in place: renaming a finished file over it
  // would replace the node itself.
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
    direct_ = true;
    writer_ = CreateTextFile(path);
    return;
  }
  // Beside the target, so the final rename stays on one file system.
  const std::size_t slash = path.rfind(kPathSeparator);
  const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  // What a run killed outright left here goes first.
  RemoveStaleTempFiles(dir.empty() ? std::string(".") : dir.substr(0, dir.size() - 1));
  temp_ = dir + "." + GetTempName() + ".part";
  RegisterTempFile(temp_);
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
    } catch (...) {}
    if (!direct_) DeleteFile(temp_);
  }
}

void OutputFile::Commit() {
  writer_.Close();
  if (!direct_) RenameFile(temp_, path_);
  done_ = true;
}

}  // namespace tarnwick::cli
