#pragma once
// cShell: takes a one-line command apart. A two-letter command code is recognised against the
// command table, then `name=value` arguments are taken off one by one; each name is checked
// against the argument-name table and its value kept in the slot beside the name.
//
// Expected failures never throw: they set ErrStatus and ErrMsg. Values are never cleared; a
// value stays until the same name is given again, so a caller that checks several lines
// either uses a fresh cShell per line or accepts that earlier values remain.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "tarnwick/core/variant.h"

namespace tarnwick {

class cShell {
 public:
  static constexpr int kSlots = 101;  // slots 0..100 of each table

  cShell();

  // The highest index of the argument-name table (69); loop ArgPair from 0 to argCount.
  std::int16_t argCount() const { return kArgCount; }
  // "NAME=value" for a filled value slot, "" for an empty one; an index outside 0..100 is
  // SubscriptOutOfRange.
  std::string ArgPair(std::int16_t i) const;
  // True when the last HandleCmd met an invalid command or argument.
  bool ErrStatus() const { return errStatus_; }
  // Message of the last failure, or "Command: XX" for a line of two characters or fewer. Not
  // cleared by a later successful HandleCmd.
  const std::string& ErrMsg() const { return errMsg_; }
  // The command code of the last HandleCmd (two upper-case characters, or the whole upper-cased
  // line when it has two characters or fewer).
  const std::string& CmdName() const { return cmdName_; }
  // Free text for the caller; the shell never sets or reads it.
  const std::string& Report() const { return report_; }
  void Report(std::string_view text);
  // The value stored for a name (case-insensitive); "" for an unknown or unset name.
  std::string geta(std::string_view argname) const;
  // Stores a value under a name (case-insensitive); an unknown name is ignored.
  Variant SetArgValue(std::string_view argname, std::string_view argval);
  // Parses one command line. Never throws on any text.
  void HandleCmd(std::string_view stemp);

 private:
  // Index of the name in the argument-name table, or -1.
  static int ArgIndex(std::string_view name);
  static bool IsCommand(std::string_view code);

  // Highest used index of the command table and of the argument-name table. Both tables are
  // constants shared by every shell; rewriting them per line would change nothing.
  static constexpr std::int16_t kCmdCount = 44;
  static constexpr std::int16_t kArgCount = 69;

  std::array<std::string, kSlots> values_;
  std::string cmdName_;
  std::string errMsg_;
  std::string report_;
  bool errStatus_ = false;
};

}  // namespace tarnwick
