#include "runner.h"

#include <algorithm>
#include <cstdio>

#include "tarnwick/core/error.h"
#include "tarnwick/core/numeric_text.h"
#include "tarnwick/core/text.h"
#include "tarnwick/shell/requirements.h"
#include "tarnwick/shell/validation.h"
#include "odbc_source.h"
#include "workbook_source.h"

namespace tarnwick::cli {

const CommandDef* FindCommand(std::string_view code) {
  for (const CommandDef& c : Commands()) {
    if (code == c.code) return &c;
  }
  return nullptr;
}

int Job::Col(std::string_view arg) const {
  auto it = cols_.find(UCase(std::string(arg)));
  return it == cols_.end() ? -1 : it->second;
}

bool Job::Next() {
  started_ = true;
  if (!source_) return false;
  while (source_->Next()) {
    if (ct_) ct_->Item();
    if (options_.progress && (source_->RowNo() & 0xFFFF) == 0) Progress(false);
    bool selected = true;
    if (filtered_) {
      selected = parser_.SelectRow(source_->RowLine(), op_);
      // A failed operation pushes nothing and need not be the last one; an answer that is not a
      // truth value also means the row could not be evaluated.
      if (op_.AnyErr() || (!selected && op_.ans() != "FALSE")) ++evalFailures_;
    }
    if (selected) {
      ++selected_;
      return true;
    }
  }
  if (progressShown_) Progress(true);
  return false;
}

void Job::Progress(bool last) {
  if (last) {
    std::fputs("\r                                        \r", stderr);
    return;
  }
  progressShown_ = true;
  const double done = source_->Done();
  if (done >= 0) {
    std::fprintf(stderr, "\r%lld rows read (%d%%)", static_cast<long long>(source_->RowNo()),
                 static_cast<int>(done * 100));
  } else {
    std::fprintf(stderr, "\r%lld rows read", static_cast<long long>(source_->RowNo()));
  }
  std::fflush(stderr);
}

namespace {

// "Col: <name> on row: <n> in file: <path> " and the complaint, as the engine's file checks
// word it; rows are counted with the header as row 1.
std::string NotText(const Job& job, int col, std::string_view what) {
  const RowSource& src = job.Source();
  const auto& names = src.Names();
  const std::string name =
      col >= 0 && static_cast<std::size_t>(col) < names.size() ? names[col] : std::string();
  return "Col: " + name + " on row: " + std::to_string(src.LineNo()) + " in " +
         src.Where() + " " + std::string(what) + std::string(job.Text(col));
}

}  // namespace

double Job::Number(int col) const {
  const auto v = ParseNumber(Text(col));
  if (!v) Raise(ErrorCode::TypeMismatch, NotText(*this, col, "not numeric: "));
  return *v;
}

Date Job::DateValue(int col) const {
  const auto v = ParseDate(Text(col));
  if (!v) Raise(ErrorCode::TypeMismatch, NotText(*this, col, "not a date value:"));
  return *v;
}

namespace {

bool NoCaseIs(std::string_view a, std::string_view b) { return EqualsNoCase(a, b); }

std::string Quoted(const std::string& v) {
  return v.find(' ') == std::string::npos ? v : "\"" + v + "\"";
}

// Arguments that only the spreadsheet gives meaning to, or that a command line may leave out,
// get the runner's defaults so that the engine's checks see a complete command.
std::string WithDefaults(const std::string& line, const cShell& sh, const CommandDef& def) {
  std::string out = line;
  auto add = [&](const char* name, const std::string& value) {
    if (sh.geta(name).empty() && !value.empty()) out += std::string(" ") + name + "=" + Quoted(value);
  };
  const std::string code = def.code;
  add("recap", code);
  // A range names its own worksheet: the engine's checks ask for it when it is missing.
  if (!NoCaseIs(sh.geta("ds"), "rng")) add("sheet", "stdout");
  if (def.needsSource && sh.geta("ds").empty()) {
    if (!sh.geta("conn").empty() || !sh.geta("sql").empty()) {
      add("ds", "db");
    } else {
      add("ds", "file");
    }
  }
  if (code == "BE" || code == "BA") add("type", "F1");
  if (code == "AR") add("colwidth", "30");
  // The requirement table asks a comparison for col=; it is the account column.
  if (code == "KS") add("col", sh.geta("acct"));
  // A query's columns are named like a file's; the field arguments of the database rows
  // default to the column arguments.
  add("fldno", sh.geta("col").empty() ? std::string("1") : sh.geta("col"));
  add("iamount", sh.geta("amount"));
  add("agefld", sh.geta("agecol"));
  add("tranfld", sh.geta("trancol"));
  return out;
}

// The engine's checks of the command line, in the order the add-in runs them.
void CheckCommand(const std::string& line, const cShell& sh) {
  cNVal nval;
  if (!nval.checkit(line)) throw Rejected{nval.ErrMsg()};
  cOVal oval;
  if (!oval.checkit(line)) throw Rejected{oval.ErrMsg()};
  cVal val;
  if (!val.Val(sh.CmdName(), sh).ToBool() && val.ErrMsg().rfind("Missing cmd: ", 0) != 0) {
    throw Rejected{val.ErrMsg()};
  }
}

// `sheet` is the worksheet the line named (not the default the runner filled in).
std::unique_ptr<RowSource> OpenSource(const cShell& sh, const std::string& sheet,
                                      std::vector<std::string>& inputs) {
  const std::string ds = sh.geta("ds");
  if (NoCaseIs(ds, "db")) {
    const std::string conn = sh.geta("conn");
    // A connection string goes to unixODBC and its driver; anything else is an SQLite file.
    if (IsOdbcConnection(conn)) {
      try {
        return std::make_unique<OdbcSource>(conn, sh.geta("sql"));
      } catch (const DbError& e) {
        throw Rejected{e.message};
      }
    }
    inputs.push_back(conn);
    if (!FileExists(conn)) throw Rejected{"Database: " + conn + " not found"};
    try {
      return std::make_unique<DbSource>(conn, sh.geta("sql"));
    } catch (const DbError& e) {
      throw Rejected{e.message};
    }
  }
  const bool range = NoCaseIs(ds, "rng");
  if (!NoCaseIs(ds, "file") && !range) {
    throw Rejected{"Data source: ds=" + ds + " is not one of file, db, rng, sel"};
  }
  const std::string file = sh.geta("file");
  if (file.empty()) throw Rejected{"missing file= "};
  inputs.push_back(file);
  cVal val;
  if (!val.FileExists(file)) throw Rejected{val.ErrMsg()};
  const bool workbook = IsWorkbookFile(file);
  if (range && !workbook) {
    throw Rejected{"Data source: ds=rng reads a range of an .xlsx workbook; file: " + file +
                   " is not a workbook"};
  }
  if (range && (sh.geta("sheet").empty() || sh.geta("ulc").empty())) {
    // the engine's checks ask for them only when ds is written in lower case
    std::string missing = "missing: ";
    if (sh.geta("sheet").empty()) missing += "sheet= ";
    if (sh.geta("ulc").empty()) missing += "ulc= ";
    throw Rejected{missing};
  }
  if (workbook) {
    try {
      return std::make_unique<WorkbookSource>(file, range ? sh.geta("sheet") : sheet,
                                              range ? sh.geta("ulc") : std::string());
    } catch (const FileError& e) {
      throw Rejected{e.message};
    }
  }
  const std::string filespec = sh.geta("filespec");
  if (!filespec.empty() && !val.FileExists(filespec)) throw Rejected{val.ErrMsg()};
  inputs.push_back(filespec);
  try {
    return std::make_unique<FileSource>(file, filespec);
  } catch (const FileError& e) {
    throw Rejected{e.message};
  }
}

// Each column argument must name a column of the source; for a tab-delimited file the
// engine's own file checks also look at the first rows for numbers or dates.
void ResolveColumns(const CommandDef& def, const cShell& sh, RowSource& src, bool tabFile,
                    std::map<std::string, int>& cols) {
  for (const ColumnArg& c : def.columns) {
    const std::string name = sh.geta(c.arg);
    if (name.empty()) {
      if (c.optional) continue;
      throw Rejected{std::string("missing: ") + c.arg + "= "};
    }
    if (tabFile) {
      const std::string file = sh.geta("file");
      cVal val;
      bool ok = false;
      switch (c.kind) {
        case Kind::Text: ok = val.FileHasColName(file, name); break;
        case Kind::Number: ok = val.FileHasNumericColName(file, name); break;
        case Kind::Date: ok = val.FileHasDateColName(file, name); break;
      }
      if (!ok) throw Rejected{val.ErrMsg()};
    }
    const int idx = src.Column(name);
    if (idx < 0) throw Rejected{"Col: " + name + " in " + src.Where() + " not found"};
    cols[UCase(std::string(c.arg))] = idx;
  }
}

}  // namespace

// The filter is parsed once against the source's header. A filter that does not parse, or
// that names a column the source lacks, is refused: the engine would select no row, or
// compare with the name itself, without a word.
void PrepareFilter(const std::string& cond, Job& job) {
  if (cond.empty()) return;
  if (!job.parser_.Prepare(cond, job.source_->HeaderLine())) {
    throw Rejected{"Filter: " + job.parser_.ErrMsg()};
  }
  const std::string& rpn = job.parser_.RPN();
  const std::size_t columns = job.source_->Names().size();
  int depth = 0;  // values the expression would hold on the evaluator's stack
  bool complete = true;
  std::size_t start = 0;
  while (start <= rpn.size()) {
    std::size_t tab = rpn.find('\t', start);
    if (tab == std::string::npos) tab = rpn.size();
    const std::string_view token(rpn.data() + start, tab - start);
    start = tab + 1;
    if (token.empty()) continue;
    if (token.size() > 1 && token[0] == '$') {
      // a name the header lacks, or a column number beyond it
      const bool number = token[1] >= '0' && token[1] <= '9';
      std::size_t n = 0;
      for (std::size_t k = 1; number && k < token.size() && n <= columns; ++k)
        n = (token[k] >= '0' && token[k] <= '9') ? n * 10 + static_cast<std::size_t>(token[k] - '0') : columns + 1;
      if (!number || n < 1 || n > columns) {
        throw Rejected{"Filter: " + std::string(token) + " names no column of " +
                       job.source_->Where()};
      }
    }
    const RpnOp op = RpnOperatorOf(token);
    if (op == RpnOp::kNone) {
      ++depth;
    } else if (op >= RpnOp::kAbs && op <= RpnOp::kWe) {
      complete = complete && depth >= 1;
    } else {
      complete = complete && depth >= 2;
      --depth;
    }
  }
  // An operand or operator missing ("$Amount >", "AND"), or a number the filter cannot read
  // ("1e12" is the number 1 and the name E12), parses, but no row could ever answer TRUE:
  // refuse it rather than report an empty selection.
  if (!complete || depth != 1) {
    throw Rejected{"Filter: not one complete expression (an operand or operator is missing, or "
                   "a value is not read as written): " + cond};
  }
  job.filtered_ = true;
}

int RunLine(const std::string& line, const Options& options, std::string& report,
            std::string& message, RunInfo* info) {
  cShell sh;
  Job j(sh, options);
  try {
    // The runner's own arguments leave the line before the engine sees it.
    const std::string engineLine = TakeRunnerArgs(line, j.runnerArgs_);
    cShell first;
    first.HandleCmd(engineLine);
    const std::string code = first.CmdName();
    if (code == "HE") {
      report = HelpText();
      return kOk;
    }
    if (first.ErrStatus()) throw Rejected{first.ErrMsg()};
    const CommandDef* def = FindCommand(code);
    if (!def) {
      throw Rejected{"Command: " + code + " is not run by tarnwick (see tarnwick HE)"};
    }
    if (!def->run) {
      throw Rejected{"Command: " + code + " (" + def->title +
                     ") is not available in this build: its analysis class is missing"};
    }
    const std::string full = WithDefaults(Trim(engineLine), first, *def);
    sh.HandleCmd(full);
    if (sh.ErrStatus()) throw Rejected{sh.ErrMsg()};
    // The current selection first: the engine's checks would only ask for its cells.
    const std::string ds = sh.geta("ds");
    if (def->needsSource && NoCaseIs(ds, "sel")) {
      throw Rejected{"Data source: ds=" + ds +
                     " reads the spreadsheet's current selection and needs the spreadsheet; "
                     "use ds=file, ds=rng (a range of an .xlsx workbook) or ds=db"};
    }
    CheckCommand(full, sh);

    if (def->needsSource) {
      j.source_ = OpenSource(sh, first.geta("sheet"), j.inputs_);
      const auto* file = dynamic_cast<const FileSource*>(j.source_.get());
      const bool tabFile = file && file->Layout() == "T";
      ResolveColumns(*def, sh, *j.source_, tabFile, j.cols_);
      PrepareFilter(sh.geta("cond"), j);
      int needed = 0;
      for (const auto& c : j.cols_) needed = std::max(needed, c.second + 1);
      j.source_->NeedColumns(needed);
    }
    cCt ct;
    ct.Cmd(code);
    ct.Recap(sh.geta("recap"));
    j.ct_ = &ct;
    def->run(j);
    report = j.report;
    if (info) {
      *info = RunInfo{code, sh.geta("recap"), sh.geta("title"), j.inputs_};
      if (!sh.geta("sample").empty()) info->files.push_back(sh.geta("sample"));
    }
    if (j.evalFailures_ > 0) {
      message = "Filter: " + std::to_string(j.evalFailures_) +
                " rows could not be evaluated and were not selected";
    }
    if (options.timing) {
      if (!message.empty()) message += '\n';
      message += ct.Report();
    }
    return kOk;
  } catch (const Rejected& r) {
    message = r.message;
    return kRejected;
  } catch (const DbError& e) {
    message = e.message;
    return kEngineError;
  } catch (const FileError& e) {
    message = e.message;
    return j.Started() && !e.input ? kEngineError : kRejected;
  } catch (const EngineError& e) {
    message = "Error " + std::to_string(static_cast<int>(e.code())) + ": " + e.what();
    if (j.Started() && j.RowsSelected() == 0) message += " (no rows were selected)";
    return j.Started() ? kEngineError : kRejected;
  } catch (const std::exception& e) {
    // Anything else (memory exhausted, say) still ends with a message and a status.
    message = std::string("Error: ") + e.what();
    return kEngineError;
  }
}

}  // namespace tarnwick::cli
