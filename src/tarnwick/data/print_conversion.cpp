#include "tarnwick/data/print_conversion.h"

#include "tarnwick/core/default_text.h"
#include "tarnwick/core/error.h"
#include "tarnwick/core/numeric_text.h"
#include "tarnwick/core/report_text.h"
#include "tarnwick/core/text.h"
#include "tarnwick/platform/file_system.h"

namespace tarnwick {

void cTSV::FileName(const Variant& v) {
  const std::string name = v.ToText();
  spec_.InputFile(name);
  spec_.InputExists(FileExists(name));
  spec_.ClearLog();
  if (!spec_.InputExists()) spec_.AppendLog("File not found: " + name);
}

std::string cTSV::RunTSV(const std::string& sInfile, const std::string& sSpecFile,
                         const std::string& sOutFile, std::int32_t imaxObs, std::int32_t iSkipRows,
                         std::int32_t imaxErrors) {
  FileName(sInfile);
  FileSpec(sSpecFile);
  OutFile(sOutFile);
  MaxObs(imaxObs);
  SkipRows(iSkipRows);
  MaxErrors(imaxErrors);
  Process();
  return ErrorReport();
}

std::string cTSV::Cvt(const std::string& sInputText, const std::string& sFmt) {
  const std::string code = UCase(sFmt);
  if (code == "A") return sInputText;
  if (code == "N") {
    const auto v = ParseNumber(sInputText);
    return v ? NumText(*v) : std::string("N/A");
  }
  if (code == "D") {
    const auto d = ParseDate(sInputText);
    return d ? DateText(*d) : std::string("N/A");
  }
  return spec_.ConvertDate(sInputText, code);
}

std::string cTSV::TSVReport(const std::string& sText) const {
  const auto d = ParseDate(spec_.ConvertedText());
  if (!d) Raise(ErrorCode::TypeMismatch, "not a date: " + spec_.ConvertedText());
  std::string r = "Test convert: ";
  r += kCrLf;
  r += "Validity: " + BoolText(Valid());
  r += kCrLf;
  r += "Input: " + sText;
  r += kCrLf;
  r += "Formatted: " + spec_.ConvertedText();
  r += kCrLf;
  r += "Converted date: " + DateText(*d);
  r += kCrLf;
  return r;
}

}  // namespace tarnwick
