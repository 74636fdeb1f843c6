#pragma once
// The requirement tables of the commands: which arguments a command needs.
//
// cNVal: per command and data source (the `ds` argument: "file", "rng", "sel", "db"), the
//   arguments that must then have a value, plus rows that apply to every data source ("all").
// cOVal: per command, the required ("req") and optional ("opt") arguments whatever the source.
//
// A row is "CODE selector name name ..."; rows stand in ascending order of code, and every
// scan stops at the first row whose code sorts after the code looked for. Checks look only at
// whether an argument has a value; what the value is belongs to cVal. Nothing here throws.

#include <array>
#include <string>
#include <string_view>

namespace tarnwick {

namespace requirements_detail {
inline constexpr int kRowSlots = 106;  // slots 0..105, filled from 0; the first empty one ends
using RowTable = std::array<std::string_view, kRowSlots>;
}  // namespace requirements_detail

class cNVal {
 public:
  cNVal();

  // Message of the last checkit: a shell message, or "missing: " and each missing "name= ".
  const std::string& ErrMsg() const { return errMsg_; }
  // Fills the table (also done at creation).
  void init();
  // True when the line names no data source, or when every argument that its command needs
  // for that source has a value.
  bool checkit(std::string_view scmd);
  // The names of the command's "db" and "all" rows, each followed by one space.
  std::string Getit(std::string_view scmd) const;

 private:
  requirements_detail::RowTable rows_{};
  std::string errMsg_;
};

class cOVal {
 public:
  cOVal();

  // Message of the last checkit: a shell message, or "missing: " and each missing "name= ".
  const std::string& ErrMsg() const { return errMsg_; }
  // Fills the table (also done at creation).
  void init();
  // True when the line is valid and every required argument of its command has a value.
  bool checkit(std::string_view scmd);
  // The names of the command's "req" rows, each followed by one space.
  std::string GetitReq(std::string_view scmd) const;
  // The names of the command's "opt" rows, each followed by one space.
  std::string GetitOpt(std::string_view scmd) const;

 private:
  requirements_detail::RowTable rows_{};
  std::string errMsg_;
};

}  // namespace tarnwick
