// Each sub-command of `tez` registers itself on the application.
#pragma once

#include <CLI/CLI.hpp>

namespace tez::cli {

void AddConvertCommand(CLI::App& app);

}  // namespace tez::cli
