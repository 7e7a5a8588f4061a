/* A C11 host: the public header compiles as C, its record layouts are those of the
 * interface, and the registry works when driven from C. */
#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include "KVDataReaderLib.h"

_Static_assert(sizeof(KVFileInfo) == 24, "KVFileInfo");
_Static_assert(sizeof(KVMeasurementInfo) == 32, "KVMeasurementInfo");
_Static_assert(sizeof(KVChannel) == 336, "KVChannel");
_Static_assert(offsetof(KVChannel, color) == 324, "KVChannel.color");
_Static_assert(sizeof(KVEvent) == 212, "KVEvent");
_Static_assert(offsetof(KVEvent, time_stamp) == 4, "KVEvent.time_stamp");
_Static_assert(offsetof(KVEvent, event_text) == 12, "KVEvent.event_text");
_Static_assert(sizeof(KVReducedValue) == 40, "KVReducedValue");
_Static_assert(sizeof(KVArrayInfo) == 128, "KVArrayInfo");
_Static_assert(sizeof(KVBinarySample) == 16, "KVBinarySample");
_Static_assert(sizeof(KVComplex) == 16, "KVComplex");
_Static_assert(sizeof(KVCustomProperty) == 220, "KVCustomProperty");
_Static_assert(offsetof(KVCustomProperty, int_value) == 104, "KVCustomProperty.int_value");
_Static_assert(offsetof(KVCustomProperty, string_value) == 120, "KVCustomProperty.string_value");

static int failures = 0;

static void expect(int condition, const char* what) {
  if (!condition) {
    fprintf(stderr, "FAILED: %s\n", what);
    ++failures;
  }
}

int main(void) {
  int32_t count = -1, status = -1, size = 0, major = 0, minor = 0, patch = 0;
  char message[64];
  KVReaderHandle handle = NULL;

  expect(KVGetVersion() == -1, "no version before KVInit");
  expect(KVGetVersionEx(&major, &minor, &patch) == 0 && major == 5 && minor == 0 && patch == 6,
         "KVGetVersionEx before KVInit");
  expect(KVInit() == 0, "KVInit");
  expect(KVGetVersion() == 5000006, "KVGetVersion after KVInit");
  expect(KVAddReader() == 0, "KVAddReader");
  expect(KVGetNumReaders(&count) == 0 && count == 2, "two readers");

  expect(KVIDestroyReader(NULL) == InvalidReaderHandle, "null handle");
  size = (int32_t)sizeof message;
  expect(KVGetLastStatus(&status, message, &size) == 0, "KVGetLastStatus");
  expect(status == InvalidReaderHandle && strcmp(message, "Invalid reader handle") == 0,
         "message of a null handle");

  expect(KVICreateReader(&handle) == 0 && handle != NULL, "KVICreateReader");
  expect(KVIDestroyReader(handle) == 0, "KVIDestroyReader");
  expect(KVDeInit() == 0, "KVDeInit");
  expect(KVDeInit() == 1, "KVDeInit when empty");

  if (failures == 0) printf("C host: all checks passed\n");
  return failures == 0 ? 0 : 1;
}
