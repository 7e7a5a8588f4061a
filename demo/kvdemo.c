/* kvdemo: what a host does first, through the C interface alone. */
#include <stdio.h>

#include "KVDataReaderLib.h"

int main(void) {
  int32_t major = 0, minor = 0, patch = 0;
  int32_t count = 0;

  KVGetVersionEx(&major, &minor, &patch);
  printf("KVDataReaderLib64 version %d.%d.%d\n", major, minor, patch);

  if (KVInit() != 0) {
    fprintf(stderr, "KVInit failed\n");
    return 1;
  }
  KVGetNumReaders(&count);
  printf("KVGetVersion() = %d with %d reader(s) in the registry\n", KVGetVersion(), count);
  KVDeInit();
  return 0;
}
