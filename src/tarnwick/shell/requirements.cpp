#include "tarnwick/shell/requirements.h"

#include "tarnwick/core/text.h"
#include "tarnwick/shell/command_shell.h"

namespace tarnwick {
namespace {

using requirements_detail::RowTable;

// Data-source requirements. Within one command: file, all, rng, sel, db. The capitals in R, J,
// RN and Sample are kept because missing names are reported as written.
constexpr std::string_view kSourceRows[] = {
    "AR file file",
    "AR all agecol trancol agedate colwidth",
    "AR rng",
    "AR sel sheet",
    "AR db conn sql",
    "BA file file",
    "BA all type col amount",
    "BA rng sheet ulc",
    "BA sel",
    "BA db conn sql",
    "BC all sheet ulc",
    "BE file file",
    "BE all col type recap",
    "BE rng sheet ulc",
    "BE sel",
    "BE db conn sql",
    "CA file file",
    "CA all col amount",
    "CA rng sheet ulc",
    "CA sel",
    "CM file file",
    "CM all R J RN Sample col recap",
    "CM rng sheet ulc",
    "CM sel",
    "CM db conn sql",
    "DU file file",
    "DU all col recap",
    "DU rng sheet ulc",
    "DU sel",
    "DU db conn sql",
    "EX file file",
    "EX all cond recap",
    "EX rng sheet ulc",
    "EX sel",
    "GA file file",
    "GA all col recap",
    "GA rng sheet ulc",
    "GA sel",
    "GA db conn sql",
    "HO file file",
    "HO all col recap",
    "HO rng sheet ulc",
    "HO sel",
    "HO db conn sql",
    "IS file file",
    "IS all RN Sample intvl recap",
    "IS rng sheet ulc",
    "IS sel",
    "IS db conn sql",
    "KS all col recap",
    "KS rng sheet ulc",
    "KS sel",
    "LU file file",
    "LU all col recap",
    "LU rng sheet ulc",
    "LU sel",
    "LU db conn sql",
    "NE file file",
    "NE all vendno invno invdate datetol invamt",
    "NE rng sheet ulc",
    "NE sel",
    "NE db conn sql",
    "PR all pop conf ss nobs",
    "QU file cond",
    "QU db cond",
    "RN file file",
    "RN all col",
    "RN rng sheet ulc",
    "RN sel",
    "RN db conn sql",
    "SA all pop conf ep er",
    "SP file file",
    "SP all vendno invno invdate datetol invamt simtol",
    "SP rng sheet ulc",
    "SP sel",
    "SP db conn sql",
    "ST file file",
    "ST all col strata",
    "ST rng sheet ulc",
    "ST sel",
    "ST db conn sql",
    "SU file file",
    "SU all col amount",
    "SU rng sheet ulc",
    "SU sel",
    "SU db conn sql",
    "TL all col amount",
    "TL rng sheet ulc",
    "TL sel",
    "TR file file",
    "TR all col",
    "TR rng sheet ulc",
    "TR sel",
    "UN file file",
    "UN all col recap",
    "UN rng sheet ulc",
    "UN sel",
    "UN db conn sql",
    "XT file file",
    "XT all col1 col2 amount recap",
    "XT rng sheet ulc",
    "XT sel",
    "XT db conn sql",
};

// Argument requirements. Within one command the "opt" row comes first.
constexpr std::string_view kArgumentRows[] = {
    "B5 opt title hilite",
    "B5 req sheet",
    "BC req sheet ulc",
    "BE opt title type hilite",
    "BE req sheet",
    "CH req sheet",
    "CL req sheet",
    "GA req sheet",
    "HO opt title",
    "HO req sheet",
    "KS opt title",
    "KS req sheet acct col1 col2",
    "LC req name",
    "LU req sheet",
    "PO opt title hilite",
    "PO req sheet",
    "PR req pop conf ss nobs",
    "QU req cond",
    "RN opt title",
    "SA req pop conf er ep",
    "SC req name sheet ulc",
    "T5 opt title hilite",
    "T5 req sheet",
    "UN opt title hilite",
    "UN req sheet",
    "WD opt title hilite",
    "WD req sheet",
};

static_assert(std::size(kSourceRows) == 103);
static_assert(std::size(kArgumentRows) == 27);
static_assert(std::size(kSourceRows) < requirements_detail::kRowSlots);

template <std::size_t N>
void Fill(RowTable& table, const std::string_view (&rows)[N]) {
  table = {};
  for (std::size_t i = 0; i < N; ++i) table[i] = rows[i];
}

// Splits at the next single space; an empty word stands between two adjacent spaces.
std::string_view NextWord(std::string_view& s) {
  const std::size_t sp = s.find(' ');
  const std::string_view word = s.substr(0, sp);
  s = sp == std::string_view::npos ? std::string_view() : s.substr(sp + 1);
  return word;
}

// Visits, in table order, the argument names of the rows of `code` whose selector `accept`
// takes. Relies on the rows' ascending order of code.
template <class Accept, class Visit>
void ScanRows(const RowTable& table, std::string_view code, Accept accept, Visit visit) {
  for (std::string_view row : table) {
    if (row.empty()) break;
    const std::string_view rowCode = NextWord(row);
    if (rowCode > code) break;
    if (rowCode != code) continue;
    if (!accept(NextWord(row))) continue;
    while (!row.empty()) {
      const std::string_view name = NextWord(row);
      if (!name.empty()) visit(name);
    }
  }
}

std::string ListNames(const RowTable& table, std::string_view scmd, std::string_view sel1,
                      std::string_view sel2) {
  const std::string code = UCase(scmd.substr(0, 2));
  std::string out;
  ScanRows(
      table, code, [&](std::string_view sel) { return sel == sel1 || sel == sel2; },
      [&](std::string_view name) {
        out += name;
        out += ' ';
      });
  return out;
}

// Appends "name= " for each name of the accepted rows that has no value in the shell.
template <class Accept>
bool CheckRows(const RowTable& table, const cShell& shell, Accept accept, std::string& msg) {
  msg = "missing: ";
  bool complete = true;
  ScanRows(table, shell.CmdName(), accept, [&](std::string_view name) {
    if (shell.geta(name).empty()) {
      msg += name;
      msg += "= ";
      complete = false;
    }
  });
  return complete;
}

}  // namespace

// ---- cNVal ----

cNVal::cNVal() { init(); }

void cNVal::init() { Fill(rows_, kSourceRows); }

bool cNVal::checkit(std::string_view scmd) {
  cShell shell;
  shell.HandleCmd(scmd);
  const std::string ds = shell.geta("ds");
  // Without a data source there is nothing this table can require; the line's own validity
  // is not looked at here.
  if (ds.empty()) return true;
  if (shell.ErrStatus()) {
    errMsg_ = shell.ErrMsg();
    return false;
  }
  return CheckRows(
      rows_, shell, [&](std::string_view sel) { return sel == ds || sel == "all"; }, errMsg_);
}

std::string cNVal::Getit(std::string_view scmd) const {
  return ListNames(rows_, scmd, "db", "all");
}

// ---- cOVal ----

cOVal::cOVal() { init(); }

void cOVal::init() { Fill(rows_, kArgumentRows); }

bool cOVal::checkit(std::string_view scmd) {
  cShell shell;
  shell.HandleCmd(scmd);
  if (shell.ErrStatus()) {
    errMsg_ = shell.ErrMsg();
    return false;
  }
  return CheckRows(
      rows_, shell, [](std::string_view sel) { return sel == "req"; }, errMsg_);
}

std::string cOVal::GetitReq(std::string_view scmd) const {
  return ListNames(rows_, scmd, "req", "req");
}

std::string cOVal::GetitOpt(std::string_view scmd) const {
  return ListNames(rows_, scmd, "opt", "opt");
}

}  // namespace tarnwick
