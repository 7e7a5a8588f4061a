// Picks the sink of a format; the optional ones are compiled in only with their
// libraries (KVTOOL_WITH_HDF5, KVTOOL_WITH_MATIO).
#include "ExportFormats.h"

#include "CsvSink.h"
#include "ToolError.h"
#ifdef KVTOOL_WITH_HDF5
#include "Hdf5Sink.h"
#endif
#ifdef KVTOOL_WITH_MATIO
#include "MatSink.h"
#endif

namespace kvtool {
namespace {

[[maybe_unused]] [[noreturn]] void NotBuilt(const std::string& format, const std::string& library, const std::string& package) {
  throw ToolError(kExitBadInput, "the " + format + " format was not built into this kvtool: it needs " + library +
                                     " (Debian: apt-get install " + package + "); install it and build again");
}

}  // namespace

std::vector<std::string> ExportFormatNames() { return {"csv", "hdf5", "mat"}; }

std::string BuiltExportFormats() {
  std::string formats = "csv";
#ifdef KVTOOL_WITH_HDF5
  formats += " hdf5";
#endif
#ifdef KVTOOL_WITH_MATIO
  formats += " mat";
#endif
  return formats;
}

std::unique_ptr<ExportSink> MakeExportSink(const std::string& format, const std::string& out) {
  if (format == "hdf5") {
#ifdef KVTOOL_WITH_HDF5
    return std::make_unique<Hdf5Sink>(out);
#else
    NotBuilt(format, "the HDF5 C library", "libhdf5-dev");
#endif
  }
  if (format == "mat") {
#ifdef KVTOOL_WITH_MATIO
    return std::make_unique<MatSink>(out);
#else
    NotBuilt(format, "matio", "libmatio-dev");
#endif
  }
  if (format == "csv") return std::make_unique<CsvSink>(out);
  throw ToolError(kExitBadInput, "unknown format \"" + format + "\": csv, hdf5 or mat");
}

}  // namespace kvtool
