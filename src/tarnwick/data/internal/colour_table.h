#pragma once
// The X11 colour names and their RGB values, generated into colour_table.cpp by
// scripts/gen_colour_table.py.

#include <cstddef>

namespace tarnwick {

struct ColourEntry {
  const char* name;   // as the database spells it ("ghost white", "GhostWhite")
  const char* value;  // six lower-case hexadecimal digits
};

extern const ColourEntry kColourTable[];
extern const std::size_t kColourTableSize;

}  // namespace tarnwick
