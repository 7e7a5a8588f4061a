// kvtool header FILE [--out PATH]: the setup document, to standard output or a file.
#include <cstdio>
#include <memory>
#include <vector>

#include "Command.h"
#include "KVDataReaderLib.h"
#include "Recording.h"
#include "ToolError.h"

namespace kvtool {
namespace {

struct HeaderOptions {
  std::string file;
  std::string out;
};

int RunHeader(const HeaderOptions& options) {
  Recording recording(options.file);
  if (!options.out.empty()) {
    const KVStatus status = KVExportHeader(options.out.c_str());
    if (status != KVOk) {
      const LibraryStatus last = LastLibraryStatus();
      throw ToolError(kExitOutputFailure, "cannot write " + options.out + ": status " + std::to_string(status) + ": " +
                                              last.message);
    }
    return kExitOk;
  }
  for (const char* code : {"SETUP___", "SETUP__", "SETUP_", "SETUP"}) {
    int32_t size = 0;
    if (KVGetStream(code, nullptr, &size) != KVOk || size <= 0) continue;
    std::vector<char> text(static_cast<size_t>(size));
    CheckStatus(KVGetStream(code, text.data(), &size), "reading the setup stream");
    std::fwrite(text.data(), 1, static_cast<size_t>(size) - 1, stdout);
    return kExitOk;
  }
  CheckStatus(KVError, "reading the setup stream");
  return kExitLibraryFailure;
}

}  // namespace

void AddHeaderCommand(CLI::App& app, int& exitStatus) {
  auto options = std::make_shared<HeaderOptions>();
  CLI::App* command = app.add_subcommand("header", "The setup document of the recording");
  command->add_option("FILE", options->file, "The recording")->required();
  command->add_option("--out", options->out, "Write it to this file instead of standard output");
  command->callback([options, &exitStatus] { exitStatus = RunHeader(*options); });
}

}  // namespace kvtool
