#pragma once
// A broken property in a fuzz target. Under libFuzzer it prints what broke and aborts, so the
// input is kept as a finding; replayed from a unit test (TARNWICK_FUZZ_REPLAY) it throws, so
// the test names the corpus file instead of stopping the whole run.
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tarnwick_fuzz {

[[noreturn]] inline void PropertyBroken(const char* what, const char* file, int line,
                                        std::string_view text) {
  std::string msg = std::string("property broken: ") + what + " (" + file + ":" +
                    std::to_string(line) + ")\n  input: \"" + std::string(text.substr(0, 2000)) +
                    "\"";
#ifdef TARNWICK_FUZZ_REPLAY
  throw std::logic_error(msg);
#else
  std::fwrite(msg.data(), 1, msg.size(), stderr);
  std::fputc('\n', stderr);
  std::abort();
#endif
}

}  // namespace tarnwick_fuzz

#define FUZZ_CHECK(cond, what, text)                                              \
  do {                                                                            \
    if (!(cond)) ::tarnwick_fuzz::PropertyBroken(what, __FILE__, __LINE__, text); \
  } while (0)
