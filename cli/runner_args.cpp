#include "runner_args.h"

#include "runner.h"
#include "tarnwick/core/text.h"

namespace tarnwick::cli {

const std::vector<RunnerArgDef>& RunnerArgs() {
  static const std::vector<RunnerArgDef> table = {
      {"wholetol", "SP",
       "days the whole invoice may lie from each of its parts, 0 to 36500, or any "
       "(default: datetol)"},
  };
  return table;
}

bool RunnerArgApplies(const RunnerArgDef& def, std::string_view code) {
  const std::string_view list = def.commands;
  if (list == "*") return true;
  std::size_t start = 0;
  while (start < list.size()) {
    std::size_t end = list.find(' ', start);
    if (end == std::string_view::npos) end = list.size();
    if (EqualsNoCase(list.substr(start, end - start), code)) return true;
    start = end + 1;
  }
  return false;
}

namespace {

const RunnerArgDef* FindRunnerArg(std::string_view name) {
  for (const RunnerArgDef& d : RunnerArgs()) {
    if (EqualsNoCase(name, d.name)) return &d;
  }
  return nullptr;
}

std::string Unquoted(std::string_view v) {
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
  return std::string(v);
}

}  // namespace

std::string TakeRunnerArgs(const std::string& line, RunnerArgValues& values) {
  // Words are separated by spaces outside double quotes, as the command shell reads them.
  std::string out;
  std::string code;
  std::size_t i = 0;
  const std::size_t n = line.size();
  bool first = true;
  while (i < n && line[i] == ' ') ++i;
  while (i < n) {
    std::size_t start = i;
    bool quoted = false;
    while (i < n && (quoted || line[i] != ' ')) {
      if (line[i] == '"') quoted = !quoted;
      ++i;
    }
    const std::string_view word(line.data() + start, i - start);
    const std::size_t spaces = i;
    while (i < n && line[i] == ' ') ++i;
    const std::string_view gap(line.data() + spaces, i - spaces);
    if (first) {
      code = UCase(std::string(word.substr(0, 2)));
      first = false;
    } else if (const std::size_t eq = word.find('='); eq != std::string_view::npos) {
      if (const RunnerArgDef* def = FindRunnerArg(word.substr(0, eq))) {
        if (!RunnerArgApplies(*def, code)) {
          throw Rejected{std::string(def->name) + "= is not an argument of " + code +
                         " (see tarnwick HE)"};
        }
        if (!values.emplace(def->name, Unquoted(word.substr(eq + 1))).second) {
          throw Rejected{std::string(def->name) + "= is given twice"};
        }
        continue;
      }
    }
    out.append(word);
    out.append(gap);
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

}  // namespace tarnwick::cli
