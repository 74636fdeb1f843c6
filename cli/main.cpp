// tarnwick: runs auditors' commands in the engine's command language.
//
//   tarnwick [--raw] [--timing] 'COMMAND name=value ...'   one command
//   tarnwick [--raw] [--timing] -f SCRIPT                  one command per line
//   tarnwick HE | --help                                   the commands and their arguments
//   --max-in-memory N   UN keeps up to N amounts in memory, then uses the external sort
//   --threads N         threads that read a delimited file (default: the machine's cores for
//                       a file of 32 MB or more, else 1); every report is the same for every N
//   --out FILE.xlsx     also every report of the run in one workbook
//   --log FILE.json     the run record: inputs with SHA-256, rows, control totals, outputs
//   --format json|csv   each report as JSON or comma-separated text (docs/json.md)
//   --version           the tool's version
//
// Reports go to standard output with the platform's line ends (--raw keeps CR LF); messages go
// to standard error. Exit status 0 done, 2 command rejected, 1 engine error during the run.
// The workbook is written only when the whole run succeeds. With --format json a script's
// reports form one array, closed also when a command fails (the reports that completed).

#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "run_record.h"
#include "runner.h"
#include "structured_report.h"
#include "tarnwick/core/error.h"
#include "tarnwick/core/text.h"
#include "tarnwick/platform/file_system.h"
#include "tarnwick/shell/symbols.h"
#ifdef TARNWICK_HAVE_WORKBOOK
#include "workbook.h"
#endif

namespace {

// An interrupted run (Ctrl-C, a stopped job) removes the temporary files the engine and the
// runner hold (sort runs, part-written samples and workbooks), then ends as the signal would.
extern "C" void OnInterrupt(int sig) {
  tarnwick::RemoveTempFiles();
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

void CleanUpOnInterrupt() {
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction sa {};
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    ::sigaction(sig, &sa, nullptr);
  }
}

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

bool EndsWithNoCase(const std::string& s, std::string_view tail) {
  return s.size() >= tail.size() &&
         EqualsNoCase(std::string_view(s).substr(s.size() - tail.size()), tail);
}

// A workbook's file name: something before ".xlsx" (in any case) in its last path part.
bool WorkbookName(const std::string& path) {
  constexpr std::string_view kExt = ".xlsx";
  return EndsWithNoCase(path, kExt) && path.size() > kExt.size() &&
         path[path.size() - kExt.size() - 1] != '/';
}

int Usage() {
  std::fputs(
      "usage: tarnwick [--raw] [--timing] [--max-in-memory N] [--threads N] [--out FILE.xlsx]\n"
      "                [--log FILE.json] [--format json|csv] 'COMMAND name=value ...'\n"
      "       tarnwick [--raw] [--timing] [--out FILE.xlsx] [--log FILE.json]\n"
      "                [--format json|csv] -f SCRIPT\n"
      "       tarnwick HE   (the commands and their arguments)\n"
      "       tarnwick --version\n",
      stderr);
  return kRejected;
}

#ifdef TARNWICK_HAVE_WORKBOOK
using Book = ReportWorkbook;
#else
struct Book {};
#endif

// Files a report in the run's workbook; false (with the message shown) when that fails.
bool File(Book* book, const RunInfo& info, const std::string& report) {
#ifdef TARNWICK_HAVE_WORKBOOK
  if (book == nullptr || info.code.empty()) return true;
  try {
    book->CheckInputs(info.files);
    book->AddReport(info.recap, info.code, report, info.title);
  } catch (const EngineError& e) {
    std::fprintf(stderr, "Workbook: %s\n", e.what());
    return false;
  }
#else
  (void)book, (void)info, (void)report;
#endif
  return true;
}

// The run record of --log, when asked for.
RunRecord* g_record = nullptr;

// How reports are printed (--format): the engine's text, or read back into JSON or CSV.
enum class Format { kText, kJson, kCsv };
Format g_format = Format::kText;
bool g_inScript = false;  // a script's JSON reports go into one array
bool g_printed = false;   // a report of the run has been printed

// Prints a report of the run in the format asked for; false (with the message shown) when the
// report could not be converted.
bool PrintReport(const std::string& line, const RunInfo& info, const std::string& report,
                 bool raw) {
  if (g_format == Format::kText) {
    Print(report, raw);
    return true;
  }
  std::string out;
  try {
    const std::string code = info.code.empty() ? std::string("HE") : info.code;
    const CommandDef* def = FindCommand(code);
    const Json doc = ReportObject(MaskPassword(line), code, info.recap,
                                  def != nullptr && def->needsSource, report);
    if (g_format == Format::kJson) {
      if (g_inScript) out = g_printed ? ",\n" : "\n";
      out += doc.dump(2, ' ', false, Json::error_handler_t::replace);
      if (!g_inScript) out += '\n';
    } else {
      const char* eol = raw ? "\r\n" : "\n";
      if (g_printed) out = eol;
      out += ReportCsv(doc, eol);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "Format: the report could not be converted: %s\n", e.what());
    return false;
  }
  g_printed = true;
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);
  return true;
}

int RunOne(const std::string& line, const Options& opt, bool raw, const std::string& where,
           Book* book) {
  std::string report, message;
  RunInfo info;
  CommandRecord rec;
  rec.line = MaskPassword(line);
  rec.started = UtcNow();
  int status = RunLine(line, opt, report, message, &info);
  message = MaskPassword(message);  // a connection string may be quoted in it
  if (status == kOk) {
    if (!PrintReport(line, info, report, raw)) status = kEngineError;
    if (!message.empty()) std::fprintf(stderr, "%s\n", message.c_str());
    if (status == kOk && !File(book, info, report)) status = kEngineError;
  } else {
    std::fprintf(stderr, "%s%s\n", where.c_str(), message.c_str());
  }
  if (g_record != nullptr && (status != kOk || !info.code.empty())) {  // not the help text
    rec.ended = UtcNow();
    rec.status = status;
    rec.message = message;
    rec.inputs = info.inputs;
    rec.outputs = status == kOk ? info.outputs : std::vector<std::string>{};
    rec.database = MaskPassword(info.database);
    rec.query = info.query;
    rec.rowsRead = info.rowsRead;
    rec.rowsSelected = info.rowsSelected;
    rec.rowsNotEvaluated = info.rowsNotEvaluated;
    rec.totals = info.totals;
    g_record->Add(std::move(rec));
  }
  return status;
}

// A script: one command per line; blank lines and lines starting with "#" are skipped; a line
// "<name>=text" defines a symbol that later lines use. Stops at the first command that fails.
int RunScript(const std::string& path, const Options& opt, bool raw, Book* book) {
  TextReader in;
  try {
    in = OpenTextFile(path);
  } catch (const EngineError& e) {
    std::fprintf(stderr, "Script: %s: %s\n", path.c_str(), e.what());
    return kRejected;
  }
  cSym sym;
  std::string line;
  g_inScript = true;
  if (g_format == Format::kJson) std::fputs("[", stdout);
  int status = kOk;
  bool first = true;
  for (std::int64_t n = 1; status == kOk && !in.AtEndOfStream(); ++n) {
    in.ReadLine(line);
    const std::string t = Trim(line);
    if (t.empty() || t[0] == '#') continue;
    sym.Text(t);
    if (sym.DidTran()) continue;
    if (!first && g_format == Format::kText) std::fputs(raw ? "\r\n" : "\n", stdout);
    first = false;
    status = RunOne(sym.TranVal(), opt, raw, path + ":" + std::to_string(n) + ": ", book);
  }
  // The array holds the reports that completed, so that it is whole also after a failure.
  if (g_format == Format::kJson) std::fputs(g_printed ? "\n]\n" : "]\n", stdout);
  std::fflush(stdout);
  return status;
}

int Run(const std::string& script, const std::string& line, const Options& opt, bool raw,
        Book* book) {
  return script.empty() ? RunOne(line, opt, raw, "", book) : RunScript(script, opt, raw, book);
}

// The run with its reports also filed in the workbook `out`, written only when the whole run
// succeeds.
int RunWithWorkbook(const std::string& out, const std::string& script, const std::string& line,
                    const Options& opt, bool raw) {
#ifdef TARNWICK_HAVE_WORKBOOK
  std::unique_ptr<ReportWorkbook> book;
  try {
    book = std::make_unique<ReportWorkbook>(out, std::vector<std::string>{script});
  } catch (const EngineError& e) {
    std::fprintf(stderr, "Workbook: %s\n", e.what());
    return kRejected;
  }
  const int status = Run(script, line, opt, raw, book.get());
  if (status != kOk) {
    std::fprintf(stderr, "Workbook: %s not written: the run did not complete\n", out.c_str());
    return status;
  }
  if (book->SheetNames().empty()) {
    std::fprintf(stderr, "Workbook: %s not written: no report\n", out.c_str());
    return status;
  }
  try {
    book->Close();
  } catch (const EngineError& e) {
    std::fprintf(stderr, "Workbook: %s\n", e.what());
    return kEngineError;
  }
  return status;
#else
  (void)out, (void)script, (void)line, (void)opt, (void)raw;
  std::fputs("tarnwick: --out needs a build with libxlsxwriter\n", stderr);
  return kRejected;
#endif
}

}  // namespace

int main(int argc, char** argv) {
  CleanUpOnInterrupt();
  // Sort runs and other temporary files of runs killed outright (SIGKILL) are removed here;
  // those beside a sample or workbook go when that folder is written to next.
  RemoveStaleTempFiles(GetSpecialFolder(2));
  Options opt;
  opt.progress = ::isatty(2) != 0;
  bool raw = false;
  std::string script;
  std::string out;
  std::string log;
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
    } else if (a == "--threads") {
      if (i + 1 >= argc) return Usage();
      const long long n = std::atoll(argv[++i]);
      if (n < 1 || n > 256) return Usage();
      opt.threads = static_cast<int>(n);
    } else if (a == "--out") {
      if (i + 1 >= argc || argv[i + 1][0] == '\0') return Usage();
      out = argv[++i];
      if (!WorkbookName(out)) {
        std::fprintf(stderr, "tarnwick: --out %s: the workbook's file name must end in .xlsx\n",
                     out.c_str());
        return kRejected;
      }
    } else if (a == "--log") {
      if (i + 1 >= argc || argv[i + 1][0] == '\0') return Usage();
      log = argv[++i];
      if (!EndsWithNoCase(log, ".json")) {
        std::fprintf(stderr, "tarnwick: --log %s: the run record is JSON; name it FILE.json\n",
                     log.c_str());
        return kRejected;
      }
    } else if (a == "--format") {
      if (i + 1 >= argc) return Usage();
      const std::string f = LCase(std::string(argv[++i]));
      if (f == "json") {
        g_format = Format::kJson;
      } else if (f == "csv") {
        g_format = Format::kCsv;
      } else if (f == "text") {
        g_format = Format::kText;
      } else {
        std::fprintf(stderr, "tarnwick: --format %s: give json, csv or text\n", argv[i]);
        return Usage();
      }
    } else if (a == "--version") {
      std::printf("tarnwick %s\n", TARNWICK_VERSION);
      return kOk;
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
  if (!script.empty() && !line.empty()) return Usage();
  if (script.empty() && line.empty()) return Usage();
  RunRecord record;
  if (!log.empty()) g_record = &record;
  const int status = out.empty() ? Run(script, line, opt, raw, nullptr)
                                 : RunWithWorkbook(out, script, line, opt, raw);
  if (!log.empty()) {
    std::string message;
    if (!record.Write(log, message)) {
      std::fprintf(stderr, "Log: %s not written: %s\n", log.c_str(), message.c_str());
      return status == kOk ? kEngineError : status;
    }
  }
  return status;
}
