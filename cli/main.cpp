// A small demonstration of the command layer until the full command runner arrives: each
// command line is parsed by cShell, checked against the requirement tables (cNVal, cOVal) and
// validated against its data source and data file (cVal).
//
//   tarnwick                 the lines of examples/commands.txt
//   tarnwick "LINE" ...      each argument as a command line

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "tarnwick/core/error.h"
#include "tarnwick/data/file_system.h"
#include "tarnwick/shell/command_shell.h"
#include "tarnwick/shell/requirements.h"
#include "tarnwick/shell/validation.h"

namespace {

using namespace tarnwick;

const char* YesNo(bool b) { return b ? "True" : "False"; }

void Show(const std::string& line) {
  std::printf("> %s\n", line.c_str());

  cShell sh;
  sh.HandleCmd(line);
  std::printf("  command    %s  error %s\n", sh.CmdName().c_str(), YesNo(sh.ErrStatus()));
  if (sh.ErrStatus()) std::printf("  message    %s\n", sh.ErrMsg().c_str());
  std::string args;
  for (std::int16_t i = 0; i <= sh.argCount(); ++i) {
    const std::string pair = sh.ArgPair(i);
    if (!pair.empty()) args += " [" + pair + "]";
  }
  std::printf("  arguments%s\n", args.empty() ? "  (none)" : args.c_str());

  cNVal nval;
  const bool sourceOk = nval.checkit(line);
  std::printf("  cNVal      %s  %s\n", YesNo(sourceOk), sourceOk ? "" : nval.ErrMsg().c_str());
  cOVal oval;
  const bool argsOk = oval.checkit(line);
  std::printf("  cOVal      %s  %s\n", YesNo(argsOk), argsOk ? "" : oval.ErrMsg().c_str());

  cVal val;
  const bool complete = val.Val(sh.CmdName(), sh).ToBool();
  std::printf("  cVal       %s  %s\n", YesNo(complete), val.ErrMsg().c_str());

  // The data file and the columns that the line names in it.
  const std::string file = sh.geta("file");
  if (sh.ErrStatus() || file.empty()) return;
  if (!val.FileExists(file)) {
    std::printf("  file       %s\n", val.ErrMsg().c_str());
    return;
  }
  for (const char* arg : {"col", "col1", "col2", "amount", "agecol", "trancol", "invdate"}) {
    const std::string col = sh.geta(arg);
    if (col.empty()) continue;
    if (!val.FileHasColName(file, col)) {
      std::printf("  %-10s %s\n", arg, val.ErrMsg().c_str());
      continue;
    }
    // The first rows tell the column's kind; for a column of neither, say where it fails.
    if (val.FileHasNumericColName(file, col)) {
      std::printf("  %-10s %s found, numbers\n", arg, col.c_str());
    } else if (val.FileHasDateColName(file, col)) {
      std::printf("  %-10s %s found, dates\n", arg, col.c_str());
    } else {
      val.FileHasNumericColName(file, col);
      std::printf("  %-10s %s found; %s\n", arg, col.c_str(), val.ErrMsg().c_str());
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> lines;
  if (argc > 1) {
    for (int i = 1; i < argc; ++i) lines.emplace_back(argv[i]);
  } else {
    const std::string path = "examples/commands.txt";
    try {
      TextReader reader = OpenTextFile(path);
      while (!reader.AtEndOfStream()) {
        std::string line = reader.ReadLine();
        if (!line.empty()) lines.push_back(std::move(line));
      }
    } catch (const EngineError& e) {
      std::fprintf(stderr, "tarnwick: cannot read %s (%s); run from the project folder or give "
                           "command lines as arguments\n", path.c_str(), e.what());
      return 1;
    }
  }
  for (const std::string& line : lines) {
    Show(line);
    std::printf("\n");
  }
  return 0;
}
