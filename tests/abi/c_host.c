/* A C11 host: the public header compiles as C, its record layouts are those of the
 * interface, and the registry works when driven from C. */
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* The host also checks the short names kept for code written against them. */
#define KV_SHORT_NAMES
#include "KVDataReaderLib.h"

_Static_assert((int)Ok == (int)KVOk && (int)InvalidIndex == (int)KVInvalidIndex, "statuses");
_Static_assert((int)ChDataType == (int)KVChDataType && (int)ChLongNameLength == (int)KVChLongNameLength, "selectors");

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

/* Reads every sample of a channel in two windows; the time stamps go up by one
 * sample period at 1000 samples per second. */
static void ReadSamples(KVReaderHandle reader, int32_t index) {
  int64_t count = 0, i = 0;
  double* values = NULL;
  double* times = NULL;
  int32_t half = 0;
  expect(KVIGetScaledSamplesCount(reader, index, &count) == 0 && count > 1, "sample count");
  expect(KVIGetScaledSamplesCount(reader, -1, &count) == 0 && count == -1, "sample count out of range");
  expect(KVIGetScaledSamplesCount(reader, index, &count) == 0, "sample count again");
  if (count <= 1 || count > 1000000) return;
  values = (double*)calloc((size_t)count, sizeof(double));
  times = (double*)calloc((size_t)count, sizeof(double));
  half = (int32_t)(count / 2);
  expect(KVIGetScaledSamples(reader, index, 0, half, values, times) == 0, "first window");
  expect(KVIGetScaledSamples(reader, index, half, (int32_t)(count - half), values + half, times + half) == 0,
         "second window");
  for (i = 1; i < count; ++i) {
    if (times[i] - times[i - 1] < 0.0009 || times[i] - times[i - 1] > 0.0011) {
      expect(0, "time stamps one period apart");
      break;
    }
  }
  expect(KVIGetScaledSamples(reader, index, 0, 1, NULL, NULL) == KVNoMemoryAlloc, "null buffer");
  free(values);
  free(times);
}

/* The event list and the two tables of a recording of one region. */
static void ReadTables(KVReaderHandle reader, int32_t channels) {
  int32_t events = 0, columns = 0, triggers = 0, type = -1, column = -1;
  char name[64];
  expect(KVIGetEventListCount(reader, &events) == 0 && events == 2, "a start and a stop");
  expect(KVIGetEventTypeF(reader, 0, &type) == 0 && KVIGetEventTypeF(reader, events, &type) == KVInvalidIndex,
         "event types by position");
  expect(KVIGetReducedDataChannelCountF(reader, &columns) == 0 && columns == 4 * channels, "four columns a channel");
  expect(KVIGetReducedDataChannelNameF(reader, 3, name, (int32_t)sizeof name) == 0 &&
             strcmp(name, "Voltage_RMS") == 0,
         "column name");
  expect(KVIGetReducedDataChannelIndexF(reader, "Voltage_RMS", &column) == 0 && column == 3, "column by name");
  expect(KVIGetTriggerDataTriggerCountF(reader, &triggers) == 0 && triggers == 1, "one trigger");
}

/* Opens a recording through a caller-owned reader and walks its channel list. */
static void OpenRecording(const char* path) {
  KVReaderHandle reader = NULL;
  KVFileInfo info;
  int32_t count = -1, index = -1, color = 0, arraySize = 0;
  char name[100], unit[20], description[200];
  KVChannel* channels = NULL;

  expect(KVICreateReader(&reader) == 0, "KVICreateReader for a file");
  expect(KVIOpenDataFile(reader, path, &info) == 0, "KVIOpenDataFile");
  expect(info.sample_rate == 1000.0, "sample rate of the recording");
  expect(KVIGetChannelListCount(reader, &count) == 0 && count == 2, "channel count");
  if (count > 0) {
    channels = (KVChannel*)calloc((size_t)count, sizeof(KVChannel));
    expect(KVIGetChannelList(reader, channels) == 0, "KVIGetChannelList");
    expect(strcmp(channels[0].name, "Voltage") == 0 && strcmp(channels[0].unit, "V") == 0, "first channel");
    expect(KVIGetChannelListItem(reader, 1, &index, name, unit, description, &color, &arraySize,
                                 (int32_t)sizeof name) == 0 && index == channels[1].index,
           "list item");
    ReadSamples(reader, channels[0].index);
    ReadTables(reader, count);
    free(channels);
  }
  expect(KVICloseDataFile(reader) == 0, "KVICloseDataFile");
  expect(KVICloseDataFile(reader) == KVError, "second close");
  expect(KVIDestroyReader(reader) == 0, "destroy the file reader");
}

int main(int argc, char** argv) {
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

  expect(KVIDestroyReader(NULL) == KVInvalidReaderHandle, "null handle");
  size = (int32_t)sizeof message;
  expect(KVGetLastStatus(&status, message, &size) == 0, "KVGetLastStatus");
  expect(status == KVInvalidReaderHandle && strcmp(message, "Invalid reader handle") == 0,
         "message of a null handle");

  expect(KVICreateReader(&handle) == 0 && handle != NULL, "KVICreateReader");
  expect(KVIDestroyReader(handle) == 0, "KVIDestroyReader");
  expect(KVDeInit() == 0, "KVDeInit");
  expect(KVDeInit() == 1, "KVDeInit when empty");

  if (argc > 1) OpenRecording(argv[1]);

  if (failures == 0) printf("C host: all checks passed\n");
  return failures == 0 ? 0 : 1;
}
