#pragma once
// cVal: checks a parsed command against its data source before it runs.
//
// Val checks that a filled cShell carries every argument that the command needs for its data
// source (`ds`: "file", "rng", "sel" or "db"). The file checks look into a tab-delimited data
// file: does it exist, does its header row name a column, do the first rows of that column hold
// numbers or dates. Every outcome is a Boolean and a message in ErrMsg; missing arguments,
// files and columns never throw, and no check leaves a file open.
//
// Err tells success: it is True when the last Val found the arguments complete.

#include <string>
#include <string_view>

#include "tarnwick/core/variant.h"
#include "tarnwick/shell/command_shell.h"

namespace tarnwick {

class cVal {
 public:
  cVal() = default;

  // Message of the last check.
  const std::string& ErrMsg() const { return errMsg_; }
  // True when the last Val found the arguments complete (False at creation).
  bool Err() const { return err_; }
  // Validates the arguments held by `oshell` (read through geta only; not kept) for the
  // command code `scmd`; the result is a Boolean Variant equal to the new Err.
  Variant Val(std::string_view scmd, const cShell& oshell);
  // True when a file of that name exists; otherwise "File: <name> not found".
  bool FileExists(const std::string& fname);
  // True when the file's header row (first line) names the column, without regard to case.
  bool FileHasColName(const std::string& sFile, std::string_view scolnam);
  // True when the column exists and its values in rows 2 to 20 are numeric text.
  bool FileHasNumericColName(const std::string& sFile, std::string_view scolnam);
  // True when the column exists and its values in rows 2 to 20 are date text.
  bool FileHasDateColName(const std::string& sFile, std::string_view scolnam);

 private:
  bool FileHasTypedColName(const std::string& sFile, std::string_view scolnam, bool dates);

  std::string errMsg_;
  bool err_ = false;
};

}  // namespace tarnwick
