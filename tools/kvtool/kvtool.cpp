// kvtool: reads and converts everything a recording holds, on the public C
// interface of the library alone. Each command lives in a file of its own and
// adds itself to the command line here; this file turns failures into messages on
// standard error and the documented exit statuses.
#include <cstdio>
#include <exception>

#include <CLI/CLI.hpp>

#include "Command.h"
#include "ToolError.h"

namespace {

constexpr char kExitStatusHelp[] =
    "Exit status: 0 success; 1 the library could not open or read the recording (its status and\n"
    "message are printed); 2 a bad command line (unknown option, format or channel, a window\n"
    "outside the recording); 3 an output that cannot be created or written. `kvtool check` has\n"
    "its own: 0 sound, 1 opens only after repair, 2 does not open.";

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"kvtool: look into, read and convert recordings."};
  app.footer(kExitStatusHelp);
  app.require_subcommand(1);
  int exitStatus = kvtool::kExitOk;
  kvtool::AddInfoCommand(app, exitStatus);
  kvtool::AddChannelsCommand(app, exitStatus);
  kvtool::AddHeaderCommand(app, exitStatus);
  kvtool::AddEventsCommand(app, exitStatus);
  kvtool::AddSamplesCommand(app, exitStatus);
  kvtool::AddReducedCommand(app, exitStatus);
  kvtool::AddCheckCommand(app, exitStatus);
  kvtool::AddExportCommand(app, exitStatus);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    const int code = app.exit(error);
    return code == 0 ? kvtool::kExitOk : kvtool::kExitBadInput;
  } catch (const kvtool::ToolError& error) {
    std::fprintf(stderr, "kvtool: %s\n", error.what());
    return error.ExitStatus();
  } catch (const std::exception& error) {
    // Caught so the stack unwinds: outputs under way remove their temporary files.
    std::fprintf(stderr, "kvtool: %s\n", error.what());
    return kvtool::kExitLibraryFailure;
  }
  return exitStatus;
}
