// How a command joins kvtool: each command file has one Add...Command function
// that adds its subcommand, with its options and help, to the application. The
// subcommand's callback runs the command once the command line is parsed and
// stores its exit status; failures are thrown as ToolError.
#pragma once

#include <CLI/CLI.hpp>

namespace kvtool {

void AddInfoCommand(CLI::App& app, int& exitStatus);
void AddChannelsCommand(CLI::App& app, int& exitStatus);
void AddHeaderCommand(CLI::App& app, int& exitStatus);
void AddEventsCommand(CLI::App& app, int& exitStatus);
void AddSamplesCommand(CLI::App& app, int& exitStatus);
void AddReducedCommand(CLI::App& app, int& exitStatus);
void AddCheckCommand(CLI::App& app, int& exitStatus);
void AddExportCommand(CLI::App& app, int& exitStatus);

}  // namespace kvtool
