// The open recording a command works on: the file opened on the active reader of
// the library's registry (text channels are offered there only), closed and the
// registry released when the object goes. One per process.
#pragma once

#include <string>

#include "KVDataReaderLib.h"

namespace kvtool {

class Recording {
 public:
  // Opens path; throws ToolError (kExitLibraryFailure) with the library's status
  // and message when it does not open.
  explicit Recording(const std::string& path);
  ~Recording();
  Recording(const Recording&) = delete;
  Recording& operator=(const Recording&) = delete;

  const std::string& Path() const { return path_; }
  const KVMeasurementInfo& Info() const { return info_; }
  double SampleRate() const { return info_.sample_rate; }

 private:
  std::string path_;
  KVMeasurementInfo info_{};
};

}  // namespace kvtool
