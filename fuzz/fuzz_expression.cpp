#include "expression_props.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tarnwick_fuzz::Expression(data, size);
  return 0;
}
