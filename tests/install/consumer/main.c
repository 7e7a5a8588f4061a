#include <KVDataReaderLib.h>
#include <stdio.h>

int main(void) {
  int32_t major = 0, minor = 0, patch = 0;
  if (KVGetVersionEx(&major, &minor, &patch) != 0) return 1;
  printf("%d.%d.%d\n", major, minor, patch);
  if (KVInit() != 0 || KVGetVersion() != 5000006) return 1;
  return KVDeInit();
}
