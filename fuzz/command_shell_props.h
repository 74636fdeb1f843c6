#pragma once
// The command layer on arbitrary text: every line goes through symbol translation, the command
// shell, both requirement tables and validation; the whole input is also read as a data file by
// the column checks. None of these may throw, and their answers must agree with each other.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "tarnwick/core/text.h"
#include "tarnwick/shell/command_shell.h"
#include "tarnwick/shell/requirements.h"
#include "tarnwick/shell/symbols.h"
#include "tarnwick/shell/validation.h"

namespace tarnwick_fuzz {
namespace command_shell {

using namespace tarnwick;

inline void WriteDataFile(const std::string& path, std::string_view text) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) std::abort();
  if (!text.empty() && std::fwrite(text.data(), 1, text.size(), f) != text.size()) std::abort();
  std::fclose(f);
}

inline void CheckShell(const cShell& sh, std::string_view line) {
  for (std::int16_t i = 0; i <= sh.argCount(); ++i) {
    const std::string pair = sh.ArgPair(i);
    if (pair.empty()) continue;
    const std::size_t eq = pair.find('=');
    FUZZ_CHECK(eq != std::string::npos && eq > 0, "ArgPair without a name", line);
    FUZZ_CHECK(sh.geta(pair.substr(0, eq)) == pair.substr(eq + 1), "ArgPair disagrees with geta",
               line);
    FUZZ_CHECK(sh.geta(LCase(pair.substr(0, eq))) == pair.substr(eq + 1),
               "geta depends on the case of the name", line);
  }
}

}  // namespace command_shell

// `dataFile` is a scratch path the input is written to, so the column checks read it as a file.
inline void CommandShell(const std::uint8_t* data, std::size_t size, const std::string& dataFile) {
  using namespace command_shell;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  cSym sym;
  cShell sh;
  cNVal nval;
  cOVal oval;
  cVal val;
  std::string lastCol;

  std::size_t start = 0;
  int lines = 0;
  while (start <= input.size() && lines++ < 64) {
    std::size_t nl = input.find('\n', start);
    if (nl == std::string_view::npos) nl = input.size();
    const std::string_view raw = input.substr(start, nl - start);
    start = nl + 1;

    sym.Text(raw);
    if (sym.DidTran()) continue;
    const std::string line = sym.TranVal();

    cShell fresh;
    fresh.HandleCmd(line);
    CheckShell(fresh, line);
    sh.HandleCmd(line);
    CheckShell(sh, line);

    const bool nOk = nval.checkit(line);
    const bool oOk = oval.checkit(line);
    (void)nval.Getit(line);
    (void)oval.GetitReq(line);
    (void)oval.GetitOpt(line);
    if (!nOk) FUZZ_CHECK(!nval.ErrMsg().empty(), "cNVal failed without a message", line);
    if (!oOk) FUZZ_CHECK(!oval.ErrMsg().empty(), "cOVal failed without a message", line);

    const Variant v = val.Val(fresh.CmdName(), fresh);
    FUZZ_CHECK(v.IsBoolean() && v.ToBool() == val.Err(), "Val result differs from Err", line);
    if (!fresh.geta("col").empty()) lastCol = fresh.geta("col");
  }

  // The input as a data file: the column checks must agree with each other on it.
  WriteDataFile(dataFile, input);
  if (lastCol.empty()) {
    const std::size_t end = input.find_first_of("\t\r\n");
    lastCol = std::string(input.substr(0, end == std::string_view::npos ? input.size() : end));
  }
  const bool has = val.FileHasColName(dataFile, lastCol);
  const bool numeric = val.FileHasNumericColName(dataFile, lastCol);
  const std::string numericMsg = val.ErrMsg();
  const bool dated = val.FileHasDateColName(dataFile, lastCol);
  if (numeric || dated)
    FUZZ_CHECK(has, "a typed column check found a column the header check did not", input);
  if (has && !numeric)
    FUZZ_CHECK(numericMsg.find(" not numeric: ") != std::string::npos,
               "the header check found a column the typed check did not", input);
}

}  // namespace tarnwick_fuzz
