#include "tarnwick/shell/validation.h"

#include <cstddef>

#include "tarnwick/core/error.h"
#include "tarnwick/core/numeric_text.h"
#include "tarnwick/core/text.h"
#include "tarnwick/platform/file_system.h"

namespace tarnwick {
namespace {

// Arguments that must have a value, per data source, in checking order. An entry "a:b" checks
// the argument a and reports it missing as b.
struct SourceRule {
  std::string_view code;
  std::string_view start;  // the message Val starts from
  std::string_view file, rng, sel, db;
};

constexpr SourceRule kRules[] = {
    {"AR", "", "file trancol agecol agedate recap colwidth",
     "ulc trancol agecol agedate sheet colwidth", "trancol agecol agedate colwidth recap",
     "conn sql agefld tranfld recap colwidth agedate"},
    {"BA", "", "file col recap amount", "ulc col recap sheet amount", "col recap amount",
     "conn sql fldno:ifldno iamount recap"},
    {"BE", "", "file col recap", "ulc col sheet recap", "col recap", "conn sql recap fldno"},
    {"CA", "", "file col recap amount", "ulc col amount sheet", "col amount",
     "conn sql fldno recap"},
    {"CM", "", "file col r J rn recap sample", "ulc col sheet r J rn recap sample",
     "col r J rn recap sample", "conn sql fldno r J rn recap sample"},
    {"DU", "", "file col recap", "ulc col recap sheet", "col recap", "conn sql fldno recap"},
    {"EX", "", "file cond recap", "ulc cond recap sheet", "recap cond", "conn sql fldno recap"},
    {"GA", "missing ds", "file col recap", "ulc col recap sheet", "col recap",
     "conn sql fldno recap"},
    {"HO", "Errors: ", "file col recap", "ulc col sheet recap", "col recap",
     "conn sql fldno recap"},
    {"IS", "missing ds", "file intvl rn recap sample", "ulc sheet intvl rn recap sample",
     "intvl rn recap sample", "conn sql intvl rn recap sample"},
    {"LU", "missing ds", "file col recap", "ulc col recap sheet", "col recap",
     "conn sql fldno recap"},
    {"NE", "", "file recap vendno invno invdate invamt datetol",
     "ulc recap vendno invno invdate invamt datetol sheet",
     "recap vendno invno invdate invamt datetol", "conn sql recap datetol"},
    {"QU", "", "", "", "", "conn sql recap"},
    {"RN", "", "file col recap", "ulc col recap sheet", "col recap", "conn sql fldno recap"},
    {"SP", "", "file recap vendno invno invdate invamt datetol",
     "ulc sheet recap vendno invno invdate invamt datetol",
     "recap vendno invno invdate invamt datetol", "conn sql recap datetol"},
    {"ST", "missing ds", "file col recap strata", "ulc col recap sheet strata", "col recap strata",
     "conn sql fldno recap strata"},
    {"SU", "", "file col recap amount", "ulc col recap sheet amount", "col recap amount",
     "conn sql fldno iamount:amount recap"},
    {"TL", "", "file col amount", "ulc col amount sheet", "col amount", "conn sql amount col"},
    {"TR", "", "", "ulc sheet recap", "recap", ""},
    {"UN", "", "file col recap", "ulc col recap sheet", "col recap", "conn sql fldno recap"},
    {"XT", "", "col1 col2 amount recap", "col1 col2 amount sheet ulc recap",
     "col1 col2 amount recap", "col1 col2 amount conn sql recap"},
};

// The list for a data source; XT alone names its source without regard to case.
std::string_view ListFor(const SourceRule& rule, std::string_view ds) {
  const bool anyCase = rule.code == "XT";
  auto is = [&](std::string_view source) {
    return anyCase ? EqualsNoCase(ds, source) : ds == source;
  };
  if (is("file")) return rule.file;
  if (is("rng")) return rule.rng;
  if (is("sel")) return rule.sel;
  if (is("db")) return rule.db;
  return {};
}

// The field at a 0-based index of a TAB-separated line; an empty line has no fields.
bool FieldAt(std::string_view line, std::size_t index, std::string_view& field) {
  if (line.empty()) return false;
  std::size_t start = 0;
  for (std::size_t i = 0; i < index; ++i) {
    const std::size_t tab = line.find('\t', start);
    if (tab == std::string_view::npos) return false;
    start = tab + 1;
  }
  const std::size_t tab = line.find('\t', start);
  field = line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start);
  return true;
}

// The index of the first header field that equals the upper-cased name, or npos.
std::size_t ColumnIndex(std::string_view header, std::string_view upperName) {
  if (header.empty()) return std::string_view::npos;
  std::size_t index = 0;
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = header.find('\t', start);
    const std::string_view field =
        header.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start);
    if (EqualsNoCase(field, upperName)) return index;
    if (tab == std::string_view::npos) return std::string_view::npos;
    start = tab + 1;
    ++index;
  }
}

std::string ColNotFound(std::string_view scolnam, const std::string& sFile) {
  std::string msg = "Col: ";
  msg += scolnam;
  msg += " in file: ";
  msg += sFile;
  msg += " not found";
  return msg;
}

}  // namespace

Variant cVal::Val(std::string_view scmd, const cShell& oshell) {
  const std::string code = UCase(scmd);
  const SourceRule* rule = nullptr;
  for (const SourceRule& r : kRules) {
    if (r.code == code) {
      rule = &r;
      break;
    }
  }
  if (rule == nullptr) {
    errMsg_ = "Missing cmd: ";
    errMsg_ += scmd;
    err_ = false;
    return Variant(false);
  }

  const bool xt = rule->code == "XT";
  bool complete = true;
  errMsg_ = xt ? std::string_view("missing ") : rule->start;
  std::string_view list = ListFor(*rule, oshell.geta("ds"));
  while (!list.empty()) {
    const std::size_t sp = list.find(' ');
    std::string_view entry = list.substr(0, sp);
    list = sp == std::string_view::npos ? std::string_view() : list.substr(sp + 1);
    std::string_view shown = entry;
    if (const std::size_t colon = entry.find(':'); colon != std::string_view::npos) {
      shown = entry.substr(colon + 1);
      entry = entry.substr(0, colon);
    }
    if (!oshell.geta(entry).empty()) continue;
    complete = false;
    if (xt) {
      errMsg_ += ' ';
      errMsg_ += shown;
      errMsg_ += '=';
    } else {
      errMsg_ += "missing ";
      errMsg_ += shown;
      errMsg_ += "= ";
    }
  }
  err_ = complete;
  return Variant(err_);
}

bool cVal::FileExists(const std::string& fname) {
  if (::tarnwick::FileExists(fname)) return true;
  errMsg_ = "File: " + fname + " not found";
  return false;
}

bool cVal::FileHasColName(const std::string& sFile, std::string_view scolnam) {
  const std::string want = UCase(TrimView(scolnam));
  if (!FileExists(sFile)) return false;
  std::string header;
  try {
    TextReader reader = OpenTextFile(sFile);
    if (!reader.AtEndOfStream()) reader.ReadLine(header);
    reader.Close();
  } catch (const EngineError&) {
    // It exists but cannot be opened or read (permissions, I/O): say so rather than abandon
    // the check; the reader has closed the file on its way out.
    errMsg_ = "File: " + sFile + " cannot be read";
    return false;
  }
  if (ColumnIndex(TrimView(header), want) != std::string_view::npos) return true;
  errMsg_ = ColNotFound(scolnam, sFile);
  return false;
}

bool cVal::FileHasNumericColName(const std::string& sFile, std::string_view scolnam) {
  return FileHasTypedColName(sFile, scolnam, false);
}

bool cVal::FileHasDateColName(const std::string& sFile, std::string_view scolnam) {
  return FileHasTypedColName(sFile, scolnam, true);
}

bool cVal::FileHasTypedColName(const std::string& sFile, std::string_view scolnam, bool dates) {
  const std::string want = UCase(TrimView(scolnam));
  if (!::tarnwick::FileExists(sFile)) {
    errMsg_ = "file: " + sFile + " not found";
    return false;
  }
  try {
    TextReader reader = OpenTextFile(sFile);
    const std::string_view header =
        reader.AtEndOfStream() ? std::string_view() : TrimView(reader.ReadLineView());
    const std::size_t column = ColumnIndex(header, want);
    if (column == std::string_view::npos) {
      errMsg_ = ColNotFound(scolnam, sFile);
      return false;
    }
    // Only the first 19 data rows are sampled; that is enough to tell a column's kind.
    for (int row = 2; row <= 20 && !reader.AtEndOfStream(); ++row) {
      std::string_view field;
      if (!FieldAt(TrimView(reader.ReadLineView()), column, field)) continue;
      if (dates ? IsDateText(field) : IsNumericText(field)) continue;
      errMsg_ = "Col: ";
      errMsg_ += scolnam;
      errMsg_ += " on row: ";
      errMsg_ += std::to_string(row);
      errMsg_ += " in file: ";
      errMsg_ += sFile;
      errMsg_ += dates ? " not a date value:" : " not numeric: ";
      errMsg_ += field;
      return false;
    }
    reader.Close();
  } catch (const EngineError&) {
    errMsg_ = "file: " + sFile + " cannot be read";
    return false;
  }
  return true;
}

}  // namespace tarnwick
