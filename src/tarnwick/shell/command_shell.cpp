#include "tarnwick/shell/command_shell.h"

#include "tarnwick/core/error.h"
#include "tarnwick/core/text.h"

namespace tarnwick {
namespace {

// The command codes, in table order (not quite alphabetical; only membership matters).
constexpr std::array<std::string_view, 45> kCommands = {
    "AR", "B5", "BA", "BE", "BC", "CA", "CH", "CL", "CR", "CM", "DU", "EX", "GA", "GR", "HE",
    "HI", "HO", "IF", "IS", "JE", "JO", "KS", "LC", "LU", "NE", "PO", "PR", "QU", "RN", "SA",
    "SE", "SH", "SC", "SP", "SR", "ST", "SU", "TL", "T5", "TR", "UR", "VA", "UN", "WD", "XT"};

// The argument names, upper case, in table order; slots 70..100 stay empty.
constexpr std::array<std::string_view, cShell::kSlots> kArgNames = {
    "AGECOL",     "ACCT",     "ACCTNO",      "ACCTTYPE",   "AGEDATE",    "AGEFLD",    "AMOUNT",
    "BACKGROUND", "BARCOLOR", "BORDERCOLOR", "CHARTCOLOR", "COL",        "COL1",      "COL2",
    "COLWIDTH",   "COND",     "CONF",        "CONN",       "DATETOL",    "DS",        "EP",
    "ER",         "FALSE",    "FILE",        "FILESPEC",   "FLDNO",      "FONTNAME",  "FONTSIZE",
    "HAXIS",      "HI",       "HILITE",      "IJENO",      "IACCTNO",    "IACCTTYPE", "IAMOUNT",
    "INSHEET",    "INVAMT",   "INTVL",       "INVDATE",    "INVNO",      "ISOURCE",   "J",
    "JENO",       "LIGHT",    "NAME",        "NOBS",       "POP",        "R",         "RECAP",
    "RN",         "SAMPLE",   "SELECTED",    "SHEET",      "SIMTOL",     "SOURCE",    "SQL",
    "SS",         "STRATA",   "THEME",       "TITLE",      "TITLECOLOR", "TRANCOL",   "TRANFLD",
    "TRUE",       "TYPE",     "ULC",         "VENDNO",     "XAXIS",      "YAXIS",     "ZZZZZZ"};

}  // namespace

cShell::cShell() = default;

int cShell::ArgIndex(std::string_view name) {
  // The names compare after upper-casing both sides; an empty name never matches, so the
  // empty slots past the last name are never selected.
  if (name.empty()) return -1;
  for (int i = 0; i <= kArgCount; ++i)
    if (EqualsNoCase(name, kArgNames[static_cast<std::size_t>(i)])) return i;
  return -1;
}

bool cShell::IsCommand(std::string_view code) {
  for (int i = 0; i <= kCmdCount; ++i)
    if (code == kCommands[static_cast<std::size_t>(i)]) return true;
  return false;
}

std::string cShell::ArgPair(std::int16_t i) const {
  if (i < 0 || i >= kSlots) Raise(ErrorCode::SubscriptOutOfRange, "ArgPair index");
  const auto slot = static_cast<std::size_t>(i);
  if (values_[slot].empty()) return {};
  std::string pair(kArgNames[slot]);
  pair += '=';
  pair += values_[slot];
  return pair;
}

void cShell::Report(std::string_view text) { report_ = text; }

std::string cShell::geta(std::string_view argname) const {
  const int i = ArgIndex(argname);
  return i < 0 ? std::string() : values_[static_cast<std::size_t>(i)];
}

Variant cShell::SetArgValue(std::string_view argname, std::string_view argval) {
  const int i = ArgIndex(argname);
  if (i >= 0) values_[static_cast<std::size_t>(i)] = argval;
  return Variant{};
}

void cShell::HandleCmd(std::string_view stemp) {
  errStatus_ = false;
  const std::string_view line = TrimView(stemp);

  if (line.size() <= 2) {
    cmdName_ = UCase(line);
    errMsg_ = "Command: ";
    errMsg_ += cmdName_;
    return;
  }

  // Split off the command word. Without a space the whole line is parsed as arguments, so its
  // first "word" fails as an argument name.
  std::string word;
  std::string_view rest;
  const std::size_t space = line.find(' ');
  if (space != std::string_view::npos) {
    word = line.substr(0, space);
    rest = TrimView(line.substr(space + 1));
  } else {
    word = UCase(line.substr(0, 2));
    rest = line;
  }

  // Only the first two characters count: "benford" is taken as "BE".
  cmdName_ = UCase(TrimView(word).substr(0, 2));
  if (!IsCommand(cmdName_)) {
    errMsg_ = "Command: ";
    errMsg_ += word;
    errMsg_ += " is not a valid command";
    errStatus_ = true;
    return;
  }

  // Views into `line` only: every step consumes what it scanned, so a long line costs one pass.
  std::string value;
  while (!rest.empty()) {
    rest = TrimView(rest);
    std::string_view name;
    const std::size_t eq = rest.find('=');
    std::string_view next = rest;
    value.clear();
    if (eq != std::string_view::npos) {
      name = TrimView(rest.substr(0, eq));
      const std::string_view text = TrimView(rest.substr(eq + 1));
      // A space ends the value outside double quotes; quotes themselves are never copied.
      std::size_t quotes = 0;
      std::size_t k = 0;
      for (; k < text.size(); ++k) {
        const char c = text[k];
        if (c == '"') {
          ++quotes;
        } else if (c == ' ' && quotes % 2 == 0) {
          break;
        } else {
          value += c;
        }
      }
      next = text.substr(k);
    }
    if (ArgIndex(name) < 0) {
      errMsg_ = "Argument: ";
      errMsg_ += name;
      errMsg_ += " is not a valid argument ";
      errStatus_ = true;
      return;
    }
    SetArgValue(name, value);
    rest = TrimView(next);
  }
}

}  // namespace tarnwick
