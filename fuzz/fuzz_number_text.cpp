#include "number_text_props.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tarnwick_fuzz::NumberText(data, size);
  return 0;
}
