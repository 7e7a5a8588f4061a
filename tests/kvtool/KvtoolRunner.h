// Runs the kvtool program the build made (its path comes in as KVTOOL_PATH) the way
// a user does from a shell, and hands back its exit status and both outputs, so the
// tests check what a user sees.
#pragma once

#include <string>
#include <vector>

namespace Korvane::DataReader::KvtoolTest {

struct KvtoolRun {
  int exitStatus = -1;
  std::string out;  // standard output
  std::string err;  // standard error
};

// kvtool with arguments (no shell involved), standard input from /dev/null.
KvtoolRun RunKvtool(const std::vector<std::string>& arguments);

}  // namespace Korvane::DataReader::KvtoolTest
