// Built against tarnwick::core alone: the layer's library and headers stand by themselves.
#include <tarnwick/core/currency.h>
#include <tarnwick/core/report_text.h>

#include <cstdio>

int main() {
  const tarnwick::Currency c =
      tarnwick::Currency::FromDouble(0.1) + tarnwick::Currency::FromDouble(0.2);
  const std::string s = tarnwick::FormatNumber(c.ToDouble(), "#0.00");
  std::printf("%s\n", s.c_str());
  return s == "0.30" ? 0 : 1;
}
