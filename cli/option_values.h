// How `tez` reads the values of its options: numbers in decimal whatever their leading zeros,
// refusals quoting the value as it was typed, and no empty value standing in for a default.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>
#include <string>

namespace tez::cli {

// A whole number from `lowest` to `highest`, said in the option's own words ("--rate:
// 44100.5 is not a whole number of Hz", "--transpose: -25 is outside -24..24"); `unit` may be
// empty. Passes the number on without its leading
// zeros, so that it is converted as the decimal number it is. Add it with transform().
CLI::Validator WholeNumberIn(std::int64_t lowest, std::int64_t highest, const std::string& unit);

// A decimal number (83.5, 1e-1) from `lowest` to `highest`, refused with `range` and the
// value as it was typed ("--tempo: 0.2499999 is outside 0.25-4.0").
CLI::Validator NumberIn(double lowest, double highest, const std::string& range);

// Every option of `app` and of its commands that takes a value refuses an empty one
// (`--trace ''`, `--soundfont=`), naming the option, before any other rule of its.
void RefuseEmptyValues(CLI::App& app);

}  // namespace tez::cli
