#include <tarnwick/tarnwick.h>

#include <cstdio>

int main() {
  const std::string s = tarnwick::FormatNumber(1234567.891, "###,###,###.#0");
  std::printf("%s\n", s.c_str());
  return s == "1,234,567.89" ? 0 : 1;
}
