// The export formats and the sink of each. csv is always built; hdf5 and mat need
// their libraries at build time, and say how to get them when they were not.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ExportSink.h"

namespace kvtool {

// "csv", "hdf5", "mat".
std::vector<std::string> ExportFormatNames();

// The formats this kvtool was built with ("csv hdf5 mat").
std::string BuiltExportFormats();

// The sink of format writing to out; throws ToolError (kExitBadInput) for a format
// this kvtool was built without.
std::unique_ptr<ExportSink> MakeExportSink(const std::string& format, const std::string& out);

}  // namespace kvtool
