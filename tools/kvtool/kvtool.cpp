// kvtool: the first look into a data file.
//   kvtool info FILE               measurement summary
//   kvtool channels FILE [--json]  the channel table
//   kvtool header FILE [--out P]   the setup document
// Errors print the library's status and message and exit with 1; usage errors exit 2.
#include <cstdio>
#include <cstring>
#include <string>

#include "Commands.h"
#include "KVDataReaderLib.h"
#include "Output.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: kvtool info FILE\n"
               "       kvtool channels FILE [--json]\n"
               "       kvtool header FILE [--out PATH]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const std::string command = argv[1];
  const char* file = argv[2];
  bool json = false;
  const char* outPath = nullptr;
  for (int i = 3; i < argc; ++i) {
    if (std::strcmp(argv[i], "--json") == 0 && command == "channels") {
      json = true;
    } else if (std::strcmp(argv[i], "--out") == 0 && command == "header" && i + 1 < argc) {
      outPath = argv[++i];
    } else {
      return Usage();
    }
  }
  if (command != "info" && command != "channels" && command != "header") return Usage();

  // The registry's reader: the text channel list is offered on the active reader only.
  if (KVInit() != 0) return kvtool::ReportFailure("KVInit");
  KVFileInfo fileInfo{};
  int result;
  if (KVOpenDataFile(file, &fileInfo) != KVOk) {
    result = kvtool::ReportFailure("opening the file");
  } else if (command == "info") {
    std::printf("file                %s\n", file);
    result = kvtool::Info();
  } else if (command == "channels") {
    result = kvtool::Channels(json);
  } else {
    result = kvtool::Header(outPath);
  }
  KVDeInit();
  return result;
}
