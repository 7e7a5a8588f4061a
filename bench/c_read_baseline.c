/* The C side of the Python package's benchmark: the same work as the package does,
 * through the public C interface, timed over repeats (the best time printed in
 * seconds). "samples": reads every sample of one channel, scaled with time stamps,
 * into freshly allocated buffers (printed first), then into buffers allocated once
 * (printed last: the library's read alone). "channels": creates a reader, opens the file,
 * reads the numeric, complex and binary channel lists and each channel's type, and
 * closes.
 * Usage: c_read_baseline samples FILE CHANNEL REPEATS | c_read_baseline channels FILE REPEATS */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "KVDataReaderLib.h"

static double Now(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec + 1e-9 * (double)t.tv_nsec;
}

static int Fail(const char* what) {
  int32_t status = 0, size = 512;
  char message[512] = "";
  KVGetLastStatus(&status, message, &size);
  fprintf(stderr, "%s: status %d: %s\n", what, (int)status, message);
  return 1;
}

typedef KVStatus (*CountFn)(KVReaderHandle, int32_t*);
typedef KVStatus (*ListFn)(KVReaderHandle, KVChannel*);

static int ListChannels(KVReaderHandle reader, CountFn count, ListFn list, int32_t* kinds) {
  int32_t n = 0;
  if (count(reader, &n) != KVOk) return -1;
  KVChannel* records = calloc((size_t)n + 1, sizeof *records);
  if (n > 0 && list(reader, records) != KVOk) n = -1;
  for (int32_t i = 0; i < n; ++i) {
    int32_t kind = 0, size = 4;
    if (KVIGetChannelProps(reader, records[i].index, KVChType, &kind, &size) != KVOk) n = -1;
    *kinds += kind;
  }
  free(records);
  return n;
}

static int Channels(const char* path, int repeats) {
  double best = 1e30;
  int total = 0;
  int32_t kinds = 0;
  for (int r = 0; r < repeats; ++r) {
    const double start = Now();
    KVReaderHandle reader = NULL;
    KVFileInfo info;
    if (KVICreateReader(&reader) != KVOk) return Fail("create");
    if (KVIOpenDataFile(reader, path, &info) != KVOk) return Fail("open");
    const int numeric = ListChannels(reader, KVIGetChannelListCount, KVIGetChannelList, &kinds);
    const int complex = ListChannels(reader, KVIGetComplexChannelListCount, KVIGetComplexChannelList, &kinds);
    const int binary = ListChannels(reader, KVIGetBinChannelListCount, KVIGetBinChannelList, &kinds);
    if (numeric < 0 || complex < 0 || binary < 0) return Fail("list");
    total = numeric + complex + binary;
    KVICloseDataFile(reader);
    KVIDestroyReader(reader);
    const double elapsed = Now() - start;
    if (elapsed < best) best = elapsed;
  }
  printf("%.9f %d\n", best, total);
  return 0;
}

static int Samples(const char* path, const char* name, int repeats) {
  KVReaderHandle reader = NULL;
  KVFileInfo info;
  if (KVICreateReader(&reader) != KVOk) return Fail("create");
  if (KVIOpenDataFile(reader, path, &info) != KVOk) return Fail("open");
  int32_t n = 0;
  KVIGetChannelListCount(reader, &n);
  KVChannel* records = calloc((size_t)n + 1, sizeof *records);
  KVIGetChannelList(reader, records);
  int32_t index = -1;
  for (int32_t i = 0; i < n; ++i) {
    if (strcmp(records[i].name, name) == 0) index = records[i].index;
  }
  free(records);
  if (index < 0) return Fail("no such channel");
  double best = 1e30, reused = 1e30;
  int64_t count = 0;
  for (int r = 0; r < repeats; ++r) {
    const double start = Now();
    if (KVIGetScaledSamplesCount(reader, index, &count) != KVOk) return Fail("count");
    double* values = malloc((size_t)count * sizeof(double));
    double* times = malloc((size_t)count * sizeof(double));
    if (KVIGetScaledSamples(reader, index, 0, (int32_t)count, values, times) != KVOk) return Fail("read");
    const double elapsed = Now() - start;
    if (values[count - 1] < -1e300) puts("");  /* keeps the read observable */
    free(values);
    free(times);
    if (elapsed < best) best = elapsed;
  }
  /* The library's read alone: buffers allocated and touched once, then reused. */
  double* values = malloc((size_t)count * sizeof(double));
  double* times = malloc((size_t)count * sizeof(double));
  memset(values, 0, (size_t)count * sizeof(double));
  memset(times, 0, (size_t)count * sizeof(double));
  for (int r = 0; r < repeats; ++r) {
    const double start = Now();
    if (KVIGetScaledSamples(reader, index, 0, (int32_t)count, values, times) != KVOk) return Fail("read");
    const double elapsed = Now() - start;
    if (elapsed < reused) reused = elapsed;
  }
  free(values);
  free(times);
  KVIDestroyReader(reader);
  printf("%.9f %lld %.9f\n", best, (long long)count, reused);
  return 0;
}

int main(int argc, char** argv) {
  if (argc == 5 && strcmp(argv[1], "samples") == 0) return Samples(argv[2], argv[3], atoi(argv[4]));
  if (argc == 4 && strcmp(argv[1], "channels") == 0) return Channels(argv[2], atoi(argv[3]));
  fprintf(stderr, "usage: %s samples FILE CHANNEL REPEATS | %s channels FILE REPEATS\n", argv[0], argv[0]);
  return 2;
}
