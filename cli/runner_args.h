#pragma once
// The runner's own arguments: names that the engine's argument-name table does not hold
// (sign=, min=, places=, method=, ...). They are taken off the command line here, in this one
// place, before the engine's checks see it, so the engine's tables stay as they are.
//
// Every runner argument is listed in RunnerArgs() with the commands that take it and its help
// line; HE prints the table under each command. A runner argument given to a command that does
// not take it is refused, like a misspelt engine argument.

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::cli {

struct RunnerArgDef {
  const char* name;      // lower case, as HE shows it
  const char* commands;  // command codes separated by spaces, "*" for every command
  const char* help;      // "meaning (default ...)", one line
};

const std::vector<RunnerArgDef>& RunnerArgs();

// True when `def` applies to the command `code`.
bool RunnerArgApplies(const RunnerArgDef& def, std::string_view code);

// The runner's arguments found on a line, by lower-case name; values unquoted.
using RunnerArgValues = std::map<std::string, std::string>;

// Returns `line` without the runner's own `name=value` words (the rest kept exactly as typed)
// and fills `values`. Throws Rejected for a runner argument the command does not take, or one
// given twice.
std::string TakeRunnerArgs(const std::string& line, RunnerArgValues& values);

}  // namespace tarnwick::cli
