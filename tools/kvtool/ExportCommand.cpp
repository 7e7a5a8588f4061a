// kvtool export FILE -o OUT [--format csv|hdf5|mat] [--channels PATTERN...]
// [--from S --to S] [--reduced LEVEL] [--quiet]: converts a recording, or part of
// it, into files other programs read.
#include <cstdio>
#include <memory>
#include <optional>

#include "Catalog.h"
#include "Command.h"
#include "ExportDriver.h"
#include "ExportFormats.h"
#include "ExportPlan.h"
#include "Output.h"
#include "Recording.h"
#include "Regions.h"
#include "ToolError.h"

namespace kvtool {
namespace {

struct ExportOptions {
  std::string file;
  std::string out;
  std::string format = "csv";
  std::vector<std::string> channels;
  std::optional<double> from;
  std::optional<double> to;
  std::optional<int32_t> reduced;
  bool quiet = false;
};

constexpr char kExportHelp[] =
    "Converts the recording, or the channels and time window asked for, into files other programs read.\n"
    "csv: channels that share a time base share one table with one time column (synchronous channels of\n"
    "  one rate); each asynchronous and each single-value channel is a table of its own. One table is\n"
    "  written to OUT; several go to OUT's stem + \"_\" + table name + \".csv\" beside it (out.csv gives\n"
    "  out_sync_1000Hz.csv, out_async_Pressure.csv, ...). Numbers are shortest-exact and read back bit for\n"
    "  bit; texts and binary payloads (hex) are quoted cells.\n"
    "hdf5: one file, one group per channel with compressed datasets \"values\" and \"time\" and the channel's\n"
    "  name, unit, description, scale, offset, rate and data type as attributes; the measurement info as\n"
    "  file attributes; \"/events\" and \"/regions\" as compound datasets. Text channels are fixed-length\n"
    "  strings; binary channels are left out (a note says so).\n"
    "mat: a MATLAB file with one struct per channel (name, values, time, unit, rate), in MATLAB's default\n"
    "  version 7 format (compressed), or version 7.3 (uncompressed) when a channel would reach 2 GiB; it\n"
    "  holds one channel in memory at a time. Text and binary channels are left out (a note says so).\n"
    "--reduced LEVEL writes the reduced values of that level instead (time, min, max, average and RMS per\n"
    "  channel). A failed export leaves no output behind.";

int RunExportCommand(const ExportOptions& options) {
  std::unique_ptr<ExportSink> sink = MakeExportSink(options.format, options.out);
  Recording recording(options.file);
  const Catalog catalog = Catalog::Load();
  const std::vector<Region> regions = LoadRegions();
  ExportRequest request;
  request.patterns = options.channels;
  if (options.from || options.to) {
    request.window = TimeSpan{options.from.value_or(regions.empty() ? 0.0 : regions.front().start),
                              options.to.value_or(regions.empty() ? 0.0 : regions.back().stop)};
    if (!(request.window->from < request.window->to)) {
      throw ToolError(kExitBadInput, "the window --from " + FormatDouble(request.window->from) + " --to " +
                                         FormatDouble(request.window->to) + " is empty: give from < to");
    }
  }
  request.reducedLevel = options.reduced;
  const ExportPlan plan = PlanExport(catalog, regions, request);
  if (!options.quiet) {
    for (const std::string& note : plan.notes) std::fprintf(stderr, "kvtool: note: %s\n", note.c_str());
  }
  const RecordingSummary summary = SummarizeRecording(options.file, recording.Info(), regions);
  kvtool::RunExport(plan, summary, *sink, {!options.quiet, request.window});
  if (!options.quiet) {
    for (const std::string& output : sink->Outputs()) std::printf("wrote %s\n", output.c_str());
  }
  return kExitOk;
}

}  // namespace

void AddExportCommand(CLI::App& app, int& exitStatus) {
  auto options = std::make_shared<ExportOptions>();
  CLI::App* command = app.add_subcommand("export", "Convert a recording to CSV, HDF5 or MATLAB files");
  command->footer(std::string(kExportHelp) + "\nBuilt formats: " + BuiltExportFormats() +
                  " (hdf5 needs libhdf5-dev, mat libmatio-dev at build time).");
  command->add_option("FILE", options->file, "The recording")->required();
  command->add_option("-o,--output", options->out, "The output file (csv: see below for several tables)")->required();
  command->add_option("--format", options->format, "csv (default), hdf5 or mat")
      ->check(CLI::IsMember(ExportFormatNames()));
  command->add_option("--channels", options->channels, "Channel names or shell globs, after FILE (default: every channel)")
      ->expected(1, -1);
  command->add_option("--from", options->from, "Window start in seconds (samples with from <= t < to)");
  command->add_option("--to", options->to, "Window end in seconds, exclusive");
  command->add_option("--reduced", options->reduced, "Write the reduced values of this level");
  command->add_flag("-q,--quiet", options->quiet, "No progress bar, notes or list of written files");
  command->callback([options, &exitStatus] { exitStatus = RunExportCommand(*options); });
}

}  // namespace kvtool
