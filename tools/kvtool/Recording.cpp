// Opens the recording on the registry's active reader.
#include "Recording.h"

#include "ToolError.h"

namespace kvtool {

Recording::Recording(const std::string& path) : path_(path) {
  if (KVInit() != 0) CheckStatus(KVError, "starting the library");
  KVFileInfo fileInfo{};
  const KVStatus status = KVOpenDataFile(path.c_str(), &fileInfo);
  if (status != KVOk) {
    const LibraryStatus last = LastLibraryStatus();
    KVDeInit();
    throw ToolError(kExitLibraryFailure, "cannot open " + path + ": status " + std::to_string(status) + ": " +
                                             last.message,
                    status);
  }
  if (KVGetMeasurementInfo(&info_) != KVOk) {
    const LibraryStatus last = LastLibraryStatus();
    KVDeInit();
    throw ToolError(kExitLibraryFailure, "reading the measurement info of " + path + ": " + last.message);
  }
}

Recording::~Recording() {
  KVCloseDataFile();
  KVDeInit();
}

}  // namespace kvtool
