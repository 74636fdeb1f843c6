#pragma once
// cTSV: converts a fixed-width print file into tab-separated text by a column specification,
// in one call (RunTSV) or step by step, and tries single values against a type or date code
// (Cvt, TSVReport, Valid) so a user can test a date format before a run.

#include <cstdint>
#include <string>

#include "tarnwick/core/variant.h"
#include "tarnwick/data/column_spec.h"

namespace tarnwick {

class cTSV {
 public:
  cTSV() { init(); }

  bool SpecValid() const { return spec_.SpecValid(); }
  // Parts-valid flag of the last date conversion.
  bool Valid() const { return spec_.PartsValid(); }
  // Status of the last column-specification line examined: "(None)" when it was valid.
  const std::string& Error() const { return spec_.LineStatus(); }
  void MaxErrors(const Variant& v) { spec_.MaxErrors(v); }
  // Whether the input file existed when FileName was set.
  bool ValidFile() const { return spec_.InputExists(); }
  bool ValidSpec() const { return spec_.SpecValid(); }
  std::string ErrorReport() const { return spec_.Report(); }
  void MaxObs(const Variant& v) { spec_.MaxObs(v); }
  // Sets the input file and clears the log (so it discards a column specification's messages).
  void FileName(const Variant& v);
  // Loads the column specification; an empty name is a missing file.
  void FileSpec(const Variant& v) { spec_.Load(v.ToText()); }
  std::string ShowSpec() const { return spec_.Listing(); }
  void OutFile(const Variant& v) { spec_.OutFile(v); }
  void SkipRows(const Variant& v) { spec_.SkipRows(v); }
  void init() { spec_.Reset(); }
  // The conversion run; when the output cannot be created the log line is the only signal.
  void Process() { spec_.Process(false); }
  // Test report of the last conversion; TypeMismatch when its text is not a date.
  std::string TSVReport(const std::string& sText) const;
  // The whole conversion in one call; returns the process report.
  std::string RunTSV(const std::string& sInfile, const std::string& sSpecFile,
                     const std::string& sOutFile, std::int32_t imaxObs, std::int32_t iSkipRows,
                     std::int32_t imaxErrors);
  // One value by a code: "A" unchanged, "N" a number, "D" a date ("N/A" when unsuitable),
  // any other code the date conversion.
  std::string Cvt(const std::string& sInputText, const std::string& sFmt);

  // The shared column specification and conversion state (counters, log, columns).
  const FixedWidthSpec& Spec() const { return spec_; }

 private:
  FixedWidthSpec spec_;
};

}  // namespace tarnwick
