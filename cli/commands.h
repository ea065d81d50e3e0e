// Each sub-command of `tez` registers itself on the application.
#pragma once

#include <CLI/CLI.hpp>

namespace tez::cli {

void AddCheckCommand(CLI::App& app);
void AddConvertCommand(CLI::App& app);
void AddDevicesCommand(CLI::App& app);
void AddDumpCommand(CLI::App& app);
void AddImportCommand(CLI::App& app);
void AddLspCommand(CLI::App& app);
void AddPlayCommand(CLI::App& app);
void AddRenderCommand(CLI::App& app);
void AddRollCommand(CLI::App& app);

}  // namespace tez::cli
