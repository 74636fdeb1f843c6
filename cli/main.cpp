// tarnwick: runs auditors' commands in the engine's command language.
//
//   tarnwick [--raw] [--timing] 'COMMAND name=value ...'   one command
//   tarnwick [--raw] [--timing] -f SCRIPT                  one command per line
//   tarnwick HE | --help                                   the commands and their arguments
//   --max-in-memory N   UN keeps up to N amounts in memory, then uses the external sort
//
// Reports go to standard output with the platform's line ends (--raw keeps CR LF); messages go
// to standard error. Exit status 0 done, 2 command rejected, 1 engine error during the run.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "runner.h"
#include "tarnwick/core/error.h"
#include "tarnwick/core/text.h"
#include "tarnwick/data/file_system.h"
#include "tarnwick/shell/symbols.h"

namespace {

using namespace tarnwick;
using namespace tarnwick::cli;

void Print(const std::string& report, bool raw) {
  std::string out;
  out.reserve(report.size() + 2);
  if (raw) {
    out = report;
  } else {
    for (std::size_t i = 0; i < report.size(); ++i) {
      if (report[i] == '\r' && i + 1 < report.size() && report[i + 1] == '\n') continue;
      out += report[i];
    }
  }
  if (!out.empty() && out.back() != '\n') out += raw ? "\r\n" : "\n";
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);
}

int Usage() {
  std::fputs("usage: tarnwick [--raw] [--timing] [--max-in-memory N] 'COMMAND name=value ...'\n"
             "       tarnwick [--raw] [--timing] -f SCRIPT\n"
             "       tarnwick HE   (the commands and their arguments)\n",
             stderr);
  return kRejected;
}

int RunOne(const std::string& line, const Options& opt, bool raw, const std::string& where) {
  std::string report, message;
  const int status = RunLine(line, opt, report, message);
  if (status == kOk) {
    Print(report, raw);
    if (!message.empty()) std::fprintf(stderr, "%s\n", message.c_str());
  } else {
    std::fprintf(stderr, "%s%s\n", where.c_str(), message.c_str());
  }
  return status;
}

// A script: one command per line; blank lines and lines starting with "#" are skipped; a line
// "<name>=text" defines a symbol that later lines use. Stops at the first command that fails.
int RunScript(const std::string& path, const Options& opt, bool raw) {
  TextReader in;
  try {
    in = OpenTextFile(path);
  } catch (const EngineError& e) {
    std::fprintf(stderr, "Script: %s: %s\n", path.c_str(), e.what());
    return kRejected;
  }
  cSym sym;
  std::string line;
  bool first = true;
  for (std::int64_t n = 1; !in.AtEndOfStream(); ++n) {
    in.ReadLine(line);
    const std::string t = Trim(line);
    if (t.empty() || t[0] == '#') continue;
    sym.Text(t);
    if (sym.DidTran()) continue;
    if (!first) std::fputs(raw ? "\r\n" : "\n", stdout);
    first = false;
    const int status = RunOne(sym.TranVal(), opt, raw, path + ":" + std::to_string(n) + ": ");
    if (status != kOk) return status;
  }
  return kOk;
}

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  opt.progress = ::isatty(2) != 0;
  bool raw = false;
  std::string script;
  std::string line;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--raw") {
      raw = true;
    } else if (a == "--timing") {
      opt.timing = true;
    } else if (a == "--help" || a == "-h") {
      line = "HE";
    } else if (a == "--max-in-memory") {
      if (i + 1 >= argc) return Usage();
      const long long n = std::atoll(argv[++i]);
      if (n < 1 || n > 200'000'000) return Usage();
      opt.maxInMemory = static_cast<std::int32_t>(n);
    } else if (a == "-f") {
      if (i + 1 >= argc) return Usage();
      script = argv[++i];
    } else if (a.size() > 1 && a[0] == '-' && a[1] == '-') {
      std::fprintf(stderr, "tarnwick: unknown option %s\n", a.c_str());
      return Usage();
    } else {
      // Words of one command given unquoted are joined back into the line.
      if (!line.empty()) line += ' ';
      line += a;
    }
  }
  if (!script.empty()) {
    if (!line.empty()) return Usage();
    return RunScript(script, opt, raw);
  }
  if (line.empty()) return Usage();
  return RunOne(line, opt, raw, "");
}
