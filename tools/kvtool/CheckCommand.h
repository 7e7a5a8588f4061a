// The exit statuses of kvtool check, which say how healthy a recording is rather
// than whether the command ran (see ToolError.h for every other command's).
#pragma once

namespace kvtool {

enum CheckVerdict : int {
  kCheckSound = 0,           // opens as stored; every channel and stream reads to its end
  kCheckRepairedOrDamaged = 1,  // opens only after the library's repair of its regions, or a
                                // channel or stream fails or ends early
  kCheckDoesNotOpen = 2,     // the library refuses it (its status and message are printed)
};

}  // namespace kvtool
