/*
 * KVDataReaderLib.h: the C interface of KVDataReaderLib64, the reader of
 * measurement data files (multi-stream files and their zip-packaged form).
 *
 * Conventions
 *  - Every function returns a KVStatus, or a value whose failure form is -1
 *    (-1.0 for doubles). After any call, KVGetLastStatus() tells the status and
 *    message of the last call in the calling thread that set one.
 *  - Functions named KVI... take a reader handle first; their KV... twins act on
 *    the active reader of the registry (KVInit, KVAddReader, KVSetActiveReader).
 *  - Every buffer belongs to the caller; the library never allocates or frees
 *    caller memory. A text written into a buffer of maximum length n holds at
 *    most n - 1 bytes and a terminating zero; the rest is zero-filled.
 *  - Variable-size results use an in/out int32 size: in, the capacity; out, the
 *    size needed (text length + 1). Too small a capacity gives status 5.
 *  - A list function (KVGetChannelList, KVGetEventList, ...) writes as many records
 *    as the matching count function returned: size the array from the count.
 *  - Threads: the library creates no threads and takes no locks. The last status is
 *    kept per thread. Calls on one reader, and the registry functions (KVInit,
 *    KVAddReader, KVSetActiveReader, KVDeInit and every KV... function on the
 *    active reader), must not run in two threads at once; different readers
 *    created with KVICreateReader may be used from different threads at the same
 *    time.
 *  - Creating a reader (KVInit, KVAddReader, KVICreateReader) sets the process-wide
 *    locale to "C" for every category, which the whole host process sees. A locale
 *    that is "C" already is left untouched, so readers may be created on several
 *    threads at once after the first one (changing the locale is not thread-safe).
 *  - Status codes, selectors and type codes carry the KV prefix; code written
 *    against the short names (Ok, Error, ChDataType, ...) defines KV_SHORT_NAMES
 *    before including this header.
 *  - All values of the constants below are part of the interface and never change.
 *  - Records are little-endian with the exact layouts given; KVEvent is packed.
 */
#ifndef KVDATAREADERLIB_H
#define KVDATAREADERLIB_H

#include <stdint.h>

#if defined(__GNUC__) || defined(__clang__)
#define KV_API __attribute__((visibility("default")))
#else
#define KV_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ======================================================================
 * Status codes
 * ====================================================================== */

/*! KVStatus: the status of every call (int32 on the boundary). */
typedef int32_t KVStatus;
enum KVStatusCode {
  KVOk = 0,                      /* success, empty message */
  KVError = 1,                   /* general failure; the message tells which */
  KVCannotOpenFile = 2,          /* "Cannot open specified file" */
  KVFileAlreadyInUse = 3,        /* "File is already in use by another process" */
  KVFileCorrupt = 4,             /* "File is corrupted or has invalid format" */
  KVNoMemoryAlloc = 5,           /* "Memory allocation failed": buffer too small or null */
  KVCreateDestFile = 6,          /* "Failed to create destination file" */
  KVExtractingFile = 7,          /* "Error occurred while extracting data" */
  KVCannotOpenExtractedFile = 8, /* "Unable to open extracted file" */
  KVInvalidIBLevel = 9,          /* "Invalid IB level specified" */
  KVCANNotSupported = 10,        /* "Feature or operation not supported on CAN channel" */
  KVInvalidReaderHandle = 11,    /* "Invalid reader handle": a null reader handle */
  KVInvalidIndex = 12,           /* "Invalid index" */
  KVBufferTooSmall = 13          /* KVGetLastStatus only; never stored as a last status */
};

/*! An opaque reader. Made by KVICreateReader, released by KVIDestroyReader. */
typedef struct KVReader *KVReaderHandle;

/* ======================================================================
 * Records
 * ====================================================================== */

/*! KVFileInfo (24 bytes): filled when a file opens. Times in days and seconds. */
typedef struct KVFileInfo {
  double sample_rate;      /* samples per second */
  double start_store_time; /* day time at which storing started */
  double duration;         /* stored length in seconds */
} KVFileInfo;

/*! KVMeasurementInfo (32 bytes). */
typedef struct KVMeasurementInfo {
  double sample_rate;        /* samples per second */
  double start_measure_time; /* day time at which the measurement started */
  double start_store_time;   /* day time at which storing started */
  double duration;           /* stored length in seconds */
} KVMeasurementInfo;

/*! KVChannel (336 bytes): one entry of a channel, header-entry, binary- or text-channel list. */
typedef struct KVChannel {
  int32_t index;          /* position in the reader's full channel sequence: the channel argument */
  char name[100];
  char unit[20];
  char description[200];
  uint32_t color;         /* display colour, 0 when the setup gives none */
  int32_t array_size;     /* values per sample: 256 for text channels, else the product of the axis sizes (at least 1) */
  int32_t data_type;      /* KVDataType */
} KVChannel;

#pragma pack(push, 1)
/*! KVEvent (212 bytes, packed: time_stamp sits at offset 4). */
typedef struct KVEvent {
  int32_t event_type;
  double time_stamp;      /* seconds */
  char event_text[200];
} KVEvent;
#pragma pack(pop)

/*! KVReducedValue (40 bytes): the statistics of one reduced block, scaled; min <= max. */
typedef struct KVReducedValue {
  double time_stamp;      /* start of the block in seconds */
  double ave;
  double min;
  double max;
  double rms;
} KVReducedValue;

/*! KVArrayInfo (128 bytes): one axis of an array channel. */
typedef struct KVArrayInfo {
  int32_t index;          /* the axis' number within its channel */
  char name[100];
  char unit[20];
  int32_t size;           /* number of positions on the axis */
} KVArrayInfo;

/*! KVBinarySample (16 bytes): where one binary record lies in its channel's data stream. */
typedef struct KVBinarySample {
  int64_t position;
  int64_t size;
} KVBinarySample;

/*! KVComplex (16 bytes). */
typedef struct KVComplex {
  double re;
  double im;
} KVComplex;

/*! Value kinds of a custom property (KVCustomProperty.value_type). */
enum KVCustomPropertyType {
  KVCustomPropertyInteger = 1,
  KVCustomPropertyFloat = 2,
  KVCustomPropertyString = 3
};

#pragma pack(push, 4)
/*! KVCustomProperty (220 bytes, entries 220 bytes apart): one custom property of a
 *  channel. Only the value field of value_type is written; the others keep what the
 *  caller put there. */
typedef struct KVCustomProperty {
  char name[100];
  int32_t value_type;     /* KVCustomPropertyType */
  int64_t int_value;
  double float_value;
  char string_value[100];
} KVCustomProperty;
#pragma pack(pop)

/* ======================================================================
 * Selectors and constants
 * ====================================================================== */

/*! KVChannelProps: the property selector of KVGetChannelProps (int32 on the boundary). */
enum KVChannelProps {
  KVChDataType = 0,           /* int32 */
  KVChDataTypeSize = 1,       /* int32: bytes of one value */
  KVChIndexString = 2,        /* text */
  KVChIndexStringLength = 3,  /* int32: length + 1 */
  KVChType = 4,               /* int32: KVChannelType */
  KVChScale = 5,              /* double */
  KVChOffset = 6,             /* double */
  KVChSetupXml = 7,           /* text */
  KVChSetupXmlLength = 8,     /* int32: length + 1, 0 when none */
  KVChPropertiesXml = 9,      /* text */
  KVChPropertiesXmlLength = 10, /* int32: length + 1, 0 when none */
  KVChCustomProps = 11,       /* KVCustomProperty[count] */
  KVChCustomPropsCount = 12,  /* int32 */
  KVChLongName = 13,          /* text */
  KVChLongNameLength = 14     /* int32: length + 1 */
};

/*! Data types of stored values (KVChannel.data_type, selector KVChDataType); the
 *  raw sample functions give values in these forms, little-endian. */
enum KVDataType {
  KVDataTypeUInt8 = 0,
  KVDataTypeInt8 = 1,
  KVDataTypeInt16 = 2,
  KVDataTypeUInt16 = 3,
  KVDataTypeInt32 = 4,
  KVDataTypeFloat = 5,
  KVDataTypeInt64 = 6,
  KVDataTypeDouble = 7,
  KVDataTypeUInt32 = 8,
  KVDataTypeComplexFloat = 9,    /* two floats, real part first */
  KVDataTypeComplexDouble = 10,  /* two doubles, real part first */
  KVDataTypeText = 11,
  KVDataTypeBinary = 12,         /* a KVBinarySample locator per sample */
  KVDataTypeCANRecord = 13,
  KVDataTypeCANRecordLong = 14,
  KVDataTypeCAN8 = 15,           /* a CAN message of up to 8 bytes */
  KVDataTypeCAN16 = 16,
  KVDataTypeCAN32 = 17,
  KVDataTypeCAN64 = 18
};

/*! Channel types (selector KVChType). Asynchronous wins over single value. */
enum KVChannelType {
  KVChannelSynchronous = 0,
  KVChannelAsynchronous = 1,
  KVChannelSingleValue = 2
};

/*! Reduced-value selectors: which statistic of a reduced block is asked for. */
enum KVReducedValueSelector {
  KVReducedRecords = -1,     /* whole KVReducedValue records */
  KVReducedMaximum = 0,
  KVReducedMinimum = 1,
  KVReducedAverage = 2,
  KVReducedRMS = 3,
  KVReducedAll = 4           /* the four statistics at once */
};

/* Code written against the names without the KV prefix defines KV_SHORT_NAMES
 * before including this header; the short names are otherwise left to the host. */
#ifdef KV_SHORT_NAMES
enum KVShortStatusNames {
  Ok = KVOk,
  Error = KVError,
  CannotOpenFile = KVCannotOpenFile,
  FileAlreadyInUse = KVFileAlreadyInUse,
  FileCorrupt = KVFileCorrupt,
  NoMemoryAlloc = KVNoMemoryAlloc,
  CreateDestFile = KVCreateDestFile,
  ExtractingFile = KVExtractingFile,
  CannotOpenExtractedFile = KVCannotOpenExtractedFile,
  InvalidIBLevel = KVInvalidIBLevel,
  CANNotSupported = KVCANNotSupported,
  InvalidReaderHandle = KVInvalidReaderHandle,
  InvalidIndex = KVInvalidIndex,
  BufferTooSmall = KVBufferTooSmall
};
enum KVShortChannelPropNames {
  ChDataType = KVChDataType,
  ChDataTypeSize = KVChDataTypeSize,
  ChIndexString = KVChIndexString,
  ChIndexStringLength = KVChIndexStringLength,
  ChType = KVChType,
  ChScale = KVChScale,
  ChOffset = KVChOffset,
  ChSetupXml = KVChSetupXml,
  ChSetupXmlLength = KVChSetupXmlLength,
  ChPropertiesXml = KVChPropertiesXml,
  ChPropertiesXmlLength = KVChPropertiesXmlLength,
  ChCustomProps = KVChCustomProps,
  ChCustomPropsCount = KVChCustomPropsCount,
  ChLongName = KVChLongName,
  ChLongNameLength = KVChLongNameLength
};
#endif

/* ======================================================================
 * Registry, status and version
 * ====================================================================== */

/*! KVInit() : creates a reader, enters it in the registry and makes it active.
 *  @return : 0, or 1 (nothing done) when a reader is already active. */
KV_API int32_t KVInit(void);

/*! KVDeInit() : destroys every reader of the registry (closing their files).
 *  @return : 0, or 1 (nothing done) when no reader is active. */
KV_API int32_t KVDeInit(void);

/*! KVAddReader() : creates another registry reader and makes it active.
 *  @return : 0, or 1 (nothing done) without an active reader. */
KV_API int32_t KVAddReader(void);

/*! KVGetNumReaders() : writes the number of registry readers.
 *  @return : 0, or 1 (nothing written) without an active reader. */
KV_API int32_t KVGetNumReaders(int32_t *count);

/*! KVSetActiveReader() : makes the registry reader at `position` (0-based) active.
 *  @return : 0, or 1 (nothing changed) without an active reader or for a position
 *            outside the registry. */
KV_API int32_t KVSetActiveReader(int32_t position);

/*! KVICreateReader() : creates a reader owned by the caller, outside the registry.
 *  @return : 0 (status 1 if the reader could not be created). */
KV_API KVStatus KVICreateReader(KVReaderHandle *handle);

/*! KVIDestroyReader() : closes the reader's file and destroys it.
 *  @return : 0, or 11 for a null handle. */
KV_API KVStatus KVIDestroyReader(KVReaderHandle handle);

/*! KVGetLastStatus() : the status and message of the calling thread's last call.
 *  `size` holds the capacity of `buffer` in bytes and receives the size needed.
 *  @return : 0 with status and message written (zero-filled to the capacity), or 13
 *            when the capacity is negative or not larger than the message length;
 *            then only `size` is written (message length + 1). */
KV_API int32_t KVGetLastStatus(int32_t *status, char *buffer, int32_t *size);

/*! KVGetVersion() : @return : 5000006 (version 5.0.6) when a reader is active, else -1. */
KV_API int32_t KVGetVersion(void);

/*! KVGetVersionEx() : writes 5, 0 and 6; needs no reader, leaves the last status alone.
 *  @return : 0. */
KV_API int32_t KVGetVersionEx(int32_t *major, int32_t *minor, int32_t *patch);

/* ======================================================================
 * File
 * ====================================================================== */

/*! KVOpenDataFile() : opens a data file in the active reader and fills `info`.
 *  Names ending in ".KXZ" or ".K7Z" (any case) open as zip-packaged files.
 *  @return : 0; 2 the file cannot be opened; 3 the reader already has a file open;
 *            4 the file is damaged (also when it holds no setup document); 5 a null
 *            argument; 6, 7, 8 a zip member could not be unpacked. */
KV_API KVStatus KVOpenDataFile(const char *fileName, KVFileInfo *info);
KV_API KVStatus KVIOpenDataFile(KVReaderHandle reader, const char *fileName, KVFileInfo *info);

/*! KVCloseDataFile() : closes the open file (unpacked zip members are deleted).
 *  @return : 0, or 1 "No file is open". */
KV_API KVStatus KVCloseDataFile(void);
KV_API KVStatus KVICloseDataFile(KVReaderHandle reader);

/*! KVGetMeasurementInfo() : sample rate, measurement and storing start (days), duration (s).
 *  @return : 0, or 1 "No file is open". */
KV_API KVStatus KVGetMeasurementInfo(KVMeasurementInfo *info);
KV_API KVStatus KVIGetMeasurementInfo(KVReaderHandle reader, KVMeasurementInfo *info);

/*! KVGetMultiFileIndex() : the file's index within a multi-file measurement, as captured
 *  at the last successful open; -1 when the file has none (or before the first open).
 *  @return : the index (KV form, -1 on failure) or the status (KVI form). */
KV_API int32_t KVGetMultiFileIndex(void);
KV_API KVStatus KVIGetMultiFileIndex(KVReaderHandle reader, int32_t *index);

/*! KVGetStoringType() : the setup's storing mode as stored; 0 when absent or no file is open. */
KV_API int32_t KVGetStoringType(void);
KV_API KVStatus KVIGetStoringType(KVReaderHandle reader, int32_t *storingType);

/*! KVExportHeader() : writes the setup document, byte for byte, to a new file.
 *  @return : 0; 1 "No file is open"; 6 the file cannot be created or written. */
KV_API KVStatus KVExportHeader(const char *fileName);
KV_API KVStatus KVIExportHeader(KVReaderHandle reader, const char *fileName);

/*! KVGetStream() : copies the named stream of the open file and a zero byte behind it.
 *  With a null buffer only *size is written: the stream size + 1.
 *  @return : 0; 1 "No file is open" or "Virutal stream does not exist"; 5 the capacity
 *            in *size is below stream size + 1 (*size unchanged). */
KV_API KVStatus KVGetStream(const char *streamName, void *buffer, int32_t *size);
KV_API KVStatus KVIGetStream(KVReaderHandle reader, const char *streamName, void *buffer, int32_t *size);

/* ======================================================================
 * Channel lists and channel properties
 * List positions count entries of one list; channel indexes (KVChannel.index) are
 * positions in the reader's full channel sequence and are what per-channel
 * functions take.
 * ====================================================================== */

/*! KVGetChannelListCount() : number of numeric, non-complex channels listed.
 *  @return : the count (KV form, -1 on failure) or the status (KVI form). */
KV_API int32_t KVGetChannelListCount(void);
KV_API KVStatus KVIGetChannelListCount(KVReaderHandle reader, int32_t *count);

/*! KVGetChannelList() : fills KVGetChannelListCount() records.  @return : 0; 5 null array. */
KV_API KVStatus KVGetChannelList(KVChannel *channels);
KV_API KVStatus KVIGetChannelList(KVReaderHandle reader, KVChannel *channels);

/*! KVGetChannelListItem() : one entry of the channel list, split into fields. Texts are
 *  cut to the smaller of maxLength and their record field (100, 20, 200 bytes).
 *  @return : 0; 5 maxLength not positive or a null output; 12 position out of range. */
KV_API KVStatus KVGetChannelListItem(int32_t position, int32_t *index, char *name, char *unit,
                                     char *description, int32_t *color, int32_t *arraySize,
                                     int32_t maxLength);
KV_API KVStatus KVIGetChannelListItem(KVReaderHandle reader, int32_t position, int32_t *index, char *name,
                                      char *unit, char *description, int32_t *color, int32_t *arraySize,
                                      int32_t maxLength);

/*! The complex channel list (data types 9 and 10), as the channel list. */
KV_API int32_t KVGetComplexChannelListCount(void);
KV_API KVStatus KVIGetComplexChannelListCount(KVReaderHandle reader, int32_t *count);
KV_API KVStatus KVGetComplexChannelList(KVChannel *channels);
KV_API KVStatus KVIGetComplexChannelList(KVReaderHandle reader, KVChannel *channels);
KV_API KVStatus KVGetComplexChannelListItem(int32_t position, int32_t *index, char *name, char *unit,
                                            char *description, int32_t *color, int32_t *arraySize,
                                            int32_t maxLength);
KV_API KVStatus KVIGetComplexChannelListItem(KVReaderHandle reader, int32_t position, int32_t *index,
                                             char *name, char *unit, char *description, int32_t *color,
                                             int32_t *arraySize, int32_t maxLength);

/*! The binary channel list (data type 12). */
KV_API int32_t KVGetBinChannelListCount(void);
KV_API KVStatus KVIGetBinChannelListCount(KVReaderHandle reader, int32_t *count);
KV_API KVStatus KVGetBinChannelList(KVChannel *channels);
KV_API KVStatus KVIGetBinChannelList(KVReaderHandle reader, KVChannel *channels);

/*! The text channel list (data type 11), on the active reader only.
 *  KVGetTextChannelListCount() : the count, or -1 without an active reader (the last
 *  status is left alone). KVGetTextChannelList() : @return : 0; 5 null array; 11 no
 *  active reader. */
KV_API int32_t KVGetTextChannelListCount(void);
KV_API KVStatus KVGetTextChannelList(KVChannel *channels);

/*! KVGetChannelFactors() : the linear scaling: value = raw * scale + offset.
 *  @return : 0; 5 a null output; 12 channel index out of range. */
KV_API KVStatus KVGetChannelFactors(int32_t index, double *scale, double *offset);
KV_API KVStatus KVIGetChannelFactors(KVReaderHandle reader, int32_t index, double *scale, double *offset);

/*! KVGetChannelProps() : one property of a channel, chosen by a KVChannelProps selector.
 *  *size holds the capacity of buffer in bytes and receives the bytes written; ask the
 *  ...Length or ...Count selector first for variable-size results. An unknown selector
 *  writes nothing and succeeds.
 *  @return : 0; 5 a null argument or a capacity too small (*size unchanged); 12 channel
 *            index out of range. */
KV_API KVStatus KVGetChannelProps(int32_t index, int32_t selector, void *buffer, int32_t *size);
KV_API KVStatus KVIGetChannelProps(KVReaderHandle reader, int32_t index, int32_t selector, void *buffer,
                                   int32_t *size);

/* ======================================================================
 * Samples
 * A channel's samples are numbered from 0 over all recorded regions, in time
 * order; time stamps are seconds from the start of the measurement, one per sample
 * (an array channel gives array_size values per sample). Synchronous channels have
 * a sample every SRDiv full-rate positions; asynchronous ones carry their own time
 * stamps; a single-value channel has one sample, its value (time stamp: the last
 * stop). A window that runs past the stored samples ends early: the elements
 * behind the last sample are left as they were. A count of 0 or less reads
 * nothing. Passing a time-stamp buffer of null skips the time stamps.
 * ====================================================================== */

/*! KVGetScaledSamplesCount(), KVGetRawSamplesCount(), KVGetComplexScaledSamplesCount(),
 *  KVGetComplexRawSamplesCount(), KVGetBinarySamplesCount() : the samples stored for a
 *  channel (the same number for every form).
 *  @return : the count; -1 for a channel index outside the channel list or any
 *            failure (KVGetLastStatus). The KVI forms return the status (0 also for an
 *            index out of range, with *count = -1; 5 a null count). */
KV_API int64_t KVGetScaledSamplesCount(int32_t index);
KV_API KVStatus KVIGetScaledSamplesCount(KVReaderHandle reader, int32_t index, int64_t *count);
KV_API int64_t KVGetRawSamplesCount(int32_t index);
KV_API KVStatus KVIGetRawSamplesCount(KVReaderHandle reader, int32_t index, int64_t *count);
KV_API int64_t KVGetComplexScaledSamplesCount(int32_t index);
KV_API KVStatus KVIGetComplexScaledSamplesCount(KVReaderHandle reader, int32_t index, int64_t *count);
KV_API int64_t KVGetComplexRawSamplesCount(int32_t index);
KV_API KVStatus KVIGetComplexRawSamplesCount(KVReaderHandle reader, int32_t index, int64_t *count);
KV_API int64_t KVGetBinarySamplesCount(int32_t index);
KV_API KVStatus KVIGetBinarySamplesCount(KVReaderHandle reader, int32_t index, int64_t *count);

/*! KVGetScaledSamples() : `count` samples from sample number `position`, scaled
 *  (raw * scale + offset), one double per value, into `data`.
 *  KVGetRawSamples() : the same samples as stored: the channel's data type, its
 *  sample size in bytes per value (a decoded digital-input bit or CAN signal: its
 *  decoded number in its own data type).
 *  @return : 0; 1 "Channel not stored", or a complex channel (nothing written: its
 *            samples are KVComplex, read with KVGetComplexScaledSamples() or
 *            KVGetComplexRawSamples()); 4 the file is damaged; 5 a null `data` while
 *            count is above 0; 10 a CAN channel that is neither the port channel nor
 *            a decoded signal (the buffers are filled all the same); 12 channel index
 *            out of range. */
KV_API KVStatus KVGetScaledSamples(int32_t index, int64_t position, int32_t count, double *data,
                                   double *timeStamps);
KV_API KVStatus KVIGetScaledSamples(KVReaderHandle reader, int32_t index, int64_t position, int32_t count,
                                    double *data, double *timeStamps);
KV_API KVStatus KVGetRawSamples(int32_t index, int64_t position, int32_t count, void *data, double *timeStamps);
KV_API KVStatus KVIGetRawSamples(KVReaderHandle reader, int32_t index, int64_t position, int32_t count, void *data,
                                 double *timeStamps);

/*! KVGetComplexScaledSamples(), KVGetComplexRawSamples() : samples of a complex
 *  channel as KVComplex, both parts scaled or both as stored.
 *  @return : as KVGetScaledSamples(), without the CAN test. */
KV_API KVStatus KVGetComplexScaledSamples(int32_t index, int64_t position, int32_t count, KVComplex *data,
                                          double *timeStamps);
KV_API KVStatus KVIGetComplexScaledSamples(KVReaderHandle reader, int32_t index, int64_t position, int32_t count,
                                           KVComplex *data, double *timeStamps);
KV_API KVStatus KVGetComplexRawSamples(int32_t index, int64_t position, int32_t count, KVComplex *data,
                                       double *timeStamps);
KV_API KVStatus KVIGetComplexRawSamples(KVReaderHandle reader, int32_t index, int64_t position, int32_t count,
                                        KVComplex *data, double *timeStamps);

/*! KVGetBinarySamples() : the payload of binary sample number `position` into
 *  `buffer`; *size holds the buffer's capacity on entry and the payload's size on
 *  return; *timeStamp receives the sample's time stamp (may be null).
 *  @return : 0; 4 the file is damaged; 5 a null buffer, a null or zero size, or a
 *            payload larger than the capacity; 12 channel index out of range. */
KV_API KVStatus KVGetBinarySamples(int32_t index, int64_t position, char *buffer, double *timeStamp,
                                   int32_t *size);
KV_API KVStatus KVIGetBinarySamples(KVReaderHandle reader, int32_t index, int64_t position, char *buffer,
                                    double *timeStamp, int32_t *size);

/*! KVGetBinarySamplesEx() : `count` payloads from sample number `position`, packed
 *  one after another, each as an int32 length followed by its bytes; *size holds the
 *  capacity on entry and the bytes used on return.
 *  @return : as KVGetBinarySamples(); 5 also when a payload no longer fits (the
 *            payloads before it are in the buffer, *size counts them). */
KV_API KVStatus KVGetBinarySamplesEx(int32_t index, int64_t position, int32_t count, char *buffer,
                                     double *timeStamps, int32_t *size);
KV_API KVStatus KVIGetBinarySamplesEx(KVReaderHandle reader, int32_t index, int64_t position, int32_t count,
                                      char *buffer, double *timeStamps, int32_t *size);

/*! KVGetBinRecSamples() : `count` payload locators (KVBinarySample) from sample
 *  number `position`, one time stamp each. KVGetBinData() reads the payload of one.
 *  @return : 0; 4 the file is damaged; 5 null records while count is above 0; 12
 *            channel index out of range. */
KV_API KVStatus KVGetBinRecSamples(int32_t index, int64_t position, int32_t count, KVBinarySample *records,
                                   double *timeStamps);
KV_API KVStatus KVIGetBinRecSamples(KVReaderHandle reader, int32_t index, int64_t position, int32_t count,
                                    KVBinarySample *records, double *timeStamps);

/*! KVGetBinData() : the payload `sample` locates, into `buffer` used as a ring of
 *  `size` bytes: written from *position modulo size to the ring's end, the rest
 *  from the ring's start; *position advances by the bytes written before the
 *  wrap, or becomes the number written after it.
 *  @return : 0; 4 the locator points outside the channel's payload stream; 5 a
 *            null argument, or a payload larger than the ring (nothing written); 12
 *            channel index out of range. */
KV_API KVStatus KVGetBinData(int32_t index, const KVBinarySample *sample, char *buffer, int64_t *position,
                             int32_t size);
KV_API KVStatus KVIGetBinData(KVReaderHandle reader, int32_t index, const KVBinarySample *sample, char *buffer,
                              int64_t *position, int32_t size);

/*! KVGetTextValuesCount() : the text values of a channel on the active reader: its
 *  samples, or 1 for a single value.
 *  @return : the count; -1 for a channel index out of range; after any other
 *            failure the status code. */
KV_API int64_t KVGetTextValuesCount(int32_t index);

/*! KVGetTextValues() : `count` values from value number `position` as text on the
 *  active reader: each value takes array_size bytes of `text` (256 for a text
 *  channel: its characters, zero-terminated for a single value), with one time
 *  stamp per value.
 *  @return : 0; 4 the file is damaged; 5 a null text buffer; 11 no active reader;
 *            12 channel index out of range. */
KV_API KVStatus KVGetTextValues(int32_t index, int32_t position, int32_t count, char *text, double *timeStamps);

/* ======================================================================
 * Header entries, array axes and events
 * Header entries are the data-header channels: each holds one stored value or
 * one stored text. Positions count from 0 over the header list, the event list
 * or a channel's axes; a position outside 0 to count-1 gives 12. Every text
 * output holds at most `maxLength` bytes with its terminator (shorter texts are
 * zero-filled); a `maxLength` of 0 or less, or a null output, gives 5.
 * ====================================================================== */

/*! KVGetHeaderEntryCount() : the number of header entries.
 *  KVGetHeaderEntryList() : one KVChannel per entry, as many as the count gives.
 *  KVGetHeaderEntryListItem() : the entry at `position` split into fields; texts cut
 *  to the smaller of `maxLength` and their record fields (100, 20, 200).
 *  @return : the count (-1 on failure); 0, 5 a null array or output, 12 a position
 *            out of range. */
KV_API int32_t KVGetHeaderEntryCount(void);
KV_API KVStatus KVIGetHeaderEntryCount(KVReaderHandle reader, int32_t *count);
KV_API KVStatus KVGetHeaderEntryList(KVChannel *entries);
KV_API KVStatus KVIGetHeaderEntryList(KVReaderHandle reader, KVChannel *entries);
KV_API KVStatus KVGetHeaderEntryListItem(int32_t position, int32_t *index, char *name, char *unit,
                                         char *description, uint32_t *color, int32_t *arraySize,
                                         int32_t maxLength);
KV_API KVStatus KVIGetHeaderEntryListItem(KVReaderHandle reader, int32_t position, int32_t *index, char *name,
                                          char *unit, char *description, uint32_t *color, int32_t *arraySize,
                                          int32_t maxLength);

/*! KVGetHeaderEntryText() : the value of the header entry that is channel `index`,
 *  as text: a text entry gives its text; a number is printed with "%i" for data
 *  type 4 (int32), else with "%f" (six decimals); at most min(maxLength, 255)
 *  bytes.
 *  KVGetHeaderEntryTextF() : the same for the entry at header-list `position`.
 *  KVGetHeaderEntryNameF(), KVGetHeaderEntryIDF() : its name, its "LogicalName".
 *  @return : 0; 1 "Channel not stored" or "Channel value not available" (no value
 *            stored); 4 the file is damaged; 5 a null text or `maxLength` of 0 or
 *            less; 12 channel index or position out of range. */
KV_API KVStatus KVGetHeaderEntryText(int32_t index, char *text, int32_t maxLength);
KV_API KVStatus KVIGetHeaderEntryText(KVReaderHandle reader, int32_t index, char *text, int32_t maxLength);
KV_API KVStatus KVGetHeaderEntryTextF(int32_t position, char *text, int32_t maxLength);
KV_API KVStatus KVIGetHeaderEntryTextF(KVReaderHandle reader, int32_t position, char *text, int32_t maxLength);
KV_API KVStatus KVGetHeaderEntryNameF(int32_t position, char *text, int32_t maxLength);
KV_API KVStatus KVIGetHeaderEntryNameF(KVReaderHandle reader, int32_t position, char *text, int32_t maxLength);
KV_API KVStatus KVGetHeaderEntryIDF(int32_t position, char *text, int32_t maxLength);
KV_API KVStatus KVIGetHeaderEntryIDF(KVReaderHandle reader, int32_t position, char *text, int32_t maxLength);

/*! KVGetArrayInfoCount() : the number of axes of channel `index` (0 for a plain channel).
 *  KVGetArrayInfoList() : one KVArrayInfo per axis, in axis order.
 *  KVGetArrayIndexValue(), KVGetArrayIndexValueF() : the value at `position` of axis
 *  `axis`, as text (a stored text, or the number printed with the axis' precision)
 *  or as a number.
 *  @return : the count (-1 on failure); 0; 5 a null output; 12 channel index, axis
 *            or position out of range. */
KV_API int32_t KVGetArrayInfoCount(int32_t index);
KV_API KVStatus KVIGetArrayInfoCount(KVReaderHandle reader, int32_t index, int32_t *count);
KV_API KVStatus KVGetArrayInfoList(int32_t index, KVArrayInfo *infos);
KV_API KVStatus KVIGetArrayInfoList(KVReaderHandle reader, int32_t index, KVArrayInfo *infos);
KV_API KVStatus KVGetArrayIndexValue(int32_t index, int32_t axis, int32_t position, char *text, int32_t maxLength);
KV_API KVStatus KVIGetArrayIndexValue(KVReaderHandle reader, int32_t index, int32_t axis, int32_t position,
                                      char *text, int32_t maxLength);
KV_API KVStatus KVGetArrayIndexValueF(int32_t index, int32_t axis, int32_t position, double *value);
KV_API KVStatus KVIGetArrayIndexValueF(KVReaderHandle reader, int32_t index, int32_t axis, int32_t position,
                                       double *value);

/*! KVGetEventListCount() : the number of events in the event list.
 *  KVGetEventList() : one KVEvent per event, in stored order (time in seconds, text
 *  cut to 199 bytes).
 *  KVGetEventListItem(), KVGetEventTimeF(), KVGetEventTextF(), KVGetEventTypeF() :
 *  the fields of the event at `position`; each call costs the same whatever the
 *  position.
 *  @return : the count, time or type (-1 on failure); 0; 5 a null output; 12 a
 *            position out of range. */
KV_API int32_t KVGetEventListCount(void);
KV_API KVStatus KVIGetEventListCount(KVReaderHandle reader, int32_t *count);
KV_API KVStatus KVGetEventList(KVEvent *events);
KV_API KVStatus KVIGetEventList(KVReaderHandle reader, KVEvent *events);
KV_API KVStatus KVGetEventListItem(int32_t position, int32_t *type, double *time, char *text, int32_t maxLength);
KV_API KVStatus KVIGetEventListItem(KVReaderHandle reader, int32_t position, int32_t *type, double *time,
                                    char *text, int32_t maxLength);
KV_API double KVGetEventTimeF(int32_t position);
KV_API KVStatus KVIGetEventTimeF(KVReaderHandle reader, int32_t position, double *time);
KV_API KVStatus KVGetEventTextF(int32_t position, char *text, int32_t maxLength);
KV_API KVStatus KVIGetEventTextF(KVReaderHandle reader, int32_t position, char *text, int32_t maxLength);
KV_API int32_t KVGetEventTypeF(int32_t position);
KV_API KVStatus KVIGetEventTypeF(KVReaderHandle reader, int32_t position, int32_t *type);

/* ======================================================================
 * Tables
 * Two flat tables over the channel list, for hosts that pass only numbers and
 * texts. Reduced-data column r is statistic r % 4 (0 maximum, 1 minimum, 2
 * average, 3 RMS) of channel-list entry r / 4, named after the channel with
 * "_Max", "_Min", "_Ave" or "_RMS". A trigger is a recorded region, from 0; the
 * trigger-data table gives each channel-list entry's samples inside it. Both
 * tables give their x axis in "Seconds". Columns, positions and triggers outside
 * the tables give 12; the index functions give -1 for a name no column has.
 * ====================================================================== */

/*! KVGetReducedDataChannelCountF() : the number of reduced-data columns (4 x the
 *  channel list count).
 *  KVGetReducedDataChannelNameF() : the name of column `column`, the channel's name
 *  and its suffix cut together to `maxLength`.
 *  KVGetReducedDataChannelIndexF() : the column of that exact name (case counts), or -1.
 *  @return : the count or column (-1 on failure); 0; 5 a null text; 12 a column out
 *            of range. */
KV_API int32_t KVGetReducedDataChannelCountF(void);
KV_API KVStatus KVIGetReducedDataChannelCountF(KVReaderHandle reader, int32_t *count);
KV_API KVStatus KVGetReducedDataChannelNameF(int32_t column, char *text, int32_t maxLength);
KV_API KVStatus KVIGetReducedDataChannelNameF(KVReaderHandle reader, int32_t column, char *text,
                                              int32_t maxLength);
KV_API int32_t KVGetReducedDataChannelIndexF(const char *name);
KV_API KVStatus KVIGetReducedDataChannelIndexF(KVReaderHandle reader, const char *name, int32_t *column);

/*! KVGetRecudedDataChannelInfoF() : a column's units ("Seconds" and the channel's
 *  unit, each cut to its length), x start (always 0), its number of reduced values
 *  and their rate (values per second).
 *  KVGetRecudedDataF() : `count` values of the column from value `position` into y,
 *  their time stamps into x unless it is null. KVGetRecudedYDataF() : without x.
 *  KVGetRecudedDataAllF() : all four statistics of the column's channel.
 *  @return : 0; 1 "Channel not stored"; 4 the file is damaged; 5 a null output
 *            while count is above 0; 12 a column out of range. */
KV_API KVStatus KVGetRecudedDataChannelInfoF(int32_t column, char *xUnit, int32_t xLength, char *yUnit,
                                             int32_t yLength, double *xStart, int32_t *blocks, double *rate);
KV_API KVStatus KVIGetRecudedDataChannelInfoF(KVReaderHandle reader, int32_t column, char *xUnit, int32_t xLength,
                                              char *yUnit, int32_t yLength, double *xStart, int32_t *blocks,
                                              double *rate);
KV_API KVStatus KVGetRecudedDataF(int32_t column, double *x, double *y, int32_t position, int32_t count);
KV_API KVStatus KVIGetRecudedDataF(KVReaderHandle reader, int32_t column, double *x, double *y, int32_t position,
                                   int32_t count);
KV_API KVStatus KVGetRecudedYDataF(int32_t column, double *y, int32_t position, int32_t count);
KV_API KVStatus KVIGetRecudedYDataF(KVReaderHandle reader, int32_t column, double *y, int32_t position,
                                    int32_t count);
KV_API KVStatus KVGetRecudedDataAllF(int32_t column, double *minima, double *averages, double *maxima,
                                     double *rmsValues, int32_t position, int32_t count);
KV_API KVStatus KVIGetRecudedDataAllF(KVReaderHandle reader, int32_t column, double *minima, double *averages,
                                      double *maxima, double *rmsValues, int32_t position, int32_t count);

/*! KVGetTriggerDataTriggerCountF() : the number of triggers (recorded regions).
 *  KVGetTriggerDataTriggerTimeF() : the start of trigger `trigger` in seconds.
 *  KVGetTriggerDataChannelNameF() : the name of channel-list entry `position`.
 *  KVGetTriggerDataChannelIndexF() : the channel-list position of that exact name, or -1.
 *  @return : the count, time or position (-1 on failure); 0; 5 a null text; 12 a
 *            trigger or position out of range. */
KV_API int32_t KVGetTriggerDataTriggerCountF(void);
KV_API KVStatus KVIGetTriggerDataTriggerCountF(KVReaderHandle reader, int32_t *count);
KV_API double KVGetTriggerDataTriggerTimeF(int32_t trigger);
KV_API KVStatus KVIGetTriggerDataTriggerTimeF(KVReaderHandle reader, int32_t trigger, double *time);
KV_API KVStatus KVGetTriggerDataChannelNameF(int32_t position, char *text, int32_t maxLength);
KV_API KVStatus KVIGetTriggerDataChannelNameF(KVReaderHandle reader, int32_t position, char *text,
                                              int32_t maxLength);
KV_API int32_t KVGetTriggerDataChannelIndexF(const char *name);
KV_API KVStatus KVIGetTriggerDataChannelIndexF(KVReaderHandle reader, const char *name, int32_t *position);

/*! KVGetTriggerDataChannelInfoF() : channel-list entry `position` inside trigger
 *  `trigger`: units ("Seconds" and the channel's unit), x start (the time stamp of
 *  its first sample in the region, 0 without one), its sample count in the region,
 *  its rate and its channel type (KVChannelType).
 *  KVGetTriggerDataF() : `count` scaled samples of the entry inside the trigger from
 *  sample position `start` (truncated toward zero) into y, time stamps into x
 *  unless it is null.
 *  @return : 0; 1 "Channel not stored"; 4 the file is damaged; 5 a null output; 12
 *            a trigger or position out of range, or a negative start. */
KV_API KVStatus KVGetTriggerDataChannelInfoF(int32_t trigger, int32_t position, char *xUnit, int32_t xLength,
                                             char *yUnit, int32_t yLength, double *xStart, double *count,
                                             double *rate, int32_t *type);
KV_API KVStatus KVIGetTriggerDataChannelInfoF(KVReaderHandle reader, int32_t trigger, int32_t position,
                                              char *xUnit, int32_t xLength, char *yUnit, int32_t yLength,
                                              double *xStart, double *count, double *rate, int32_t *type);
KV_API KVStatus KVGetTriggerDataF(int32_t trigger, int32_t position, double *y, double *x, double start,
                                  int32_t count);
KV_API KVStatus KVIGetTriggerDataF(KVReaderHandle reader, int32_t trigger, int32_t position, double *y, double *x,
                                   double start, int32_t count);

/* ======================================================================
 * Reduced values
 * Reduced values are the statistics (minimum, maximum, average, RMS) the
 * recording stored per interval of AbsRate full-rate samples of a channel's first
 * stored reduced level; they are numbered from 0 over all stored regions (a value
 * that two adjacent regions share is stored and counted once). Values are scaled;
 * min <= max also for negative scale factors. Time stamps are seconds, the start
 * of each value's interval. A window that runs past the stored values ends early:
 * the elements behind the last stored value are left as they were.
 * ====================================================================== */

/*! KVGetReducedValuesCount() : the number of reduced values stored for a channel, and
 *  the seconds one value covers. Single-value and array channels have none.
 *  @return : 0; 4 the file is damaged; 5 a null output; 12 channel index out of range. */
KV_API KVStatus KVGetReducedValuesCount(int32_t index, int32_t *count, double *blockDuration);
KV_API KVStatus KVIGetReducedValuesCount(KVReaderHandle reader, int32_t index, int32_t *count,
                                         double *blockDuration);

/*! KVGetReducedValues() : `count` KVReducedValue records from value number `position`.
 *  @return : 0 (a count of 0 or less reads nothing); 1 "Channel not stored" (the
 *            channel's reduced stream is missing); 4 the file is damaged; 5 a null
 *            array while count is above 0; 12 channel index out of range. */
KV_API KVStatus KVGetReducedValues(int32_t index, int32_t position, int32_t count, KVReducedValue *values);
KV_API KVStatus KVIGetReducedValues(KVReaderHandle reader, int32_t index, int32_t position, int32_t count,
                                    KVReducedValue *values);

/*! KVGetReducedAveValues(), KVGetReducedMinValues(), KVGetReducedMaxValues(),
 *  KVGetReducedRMSValues() : one statistic per value (the average, the minimum, the
 *  maximum, the RMS) into `data`, `count` values from value number `position`, and
 *  one time stamp per value into `timeStamps` unless it is null.
 *  @return : as KVGetReducedValues(); 5 a null `data` while count is above 0. */
KV_API KVStatus KVGetReducedAveValues(int32_t index, int32_t position, int32_t count, double *data,
                                      double *timeStamps);
KV_API KVStatus KVIGetReducedAveValues(KVReaderHandle reader, int32_t index, int32_t position, int32_t count,
                                       double *data, double *timeStamps);
KV_API KVStatus KVGetReducedMinValues(int32_t index, int32_t position, int32_t count, double *data,
                                      double *timeStamps);
KV_API KVStatus KVIGetReducedMinValues(KVReaderHandle reader, int32_t index, int32_t position, int32_t count,
                                       double *data, double *timeStamps);
KV_API KVStatus KVGetReducedMaxValues(int32_t index, int32_t position, int32_t count, double *data,
                                      double *timeStamps);
KV_API KVStatus KVIGetReducedMaxValues(KVReaderHandle reader, int32_t index, int32_t position, int32_t count,
                                       double *data, double *timeStamps);
KV_API KVStatus KVGetReducedRMSValues(int32_t index, int32_t position, int32_t count, double *data,
                                      double *timeStamps);
KV_API KVStatus KVIGetReducedRMSValues(KVReaderHandle reader, int32_t index, int32_t position, int32_t count,
                                       double *data, double *timeStamps);

/*! KVGetReducedValuesBlock() : the same window of records for `channelCount` channels
 *  at reduced level `level`, read once per stored record for all of them. `indexes`
 *  holds channel indexes in any order and comes back sorted ascending; the records
 *  of the channel at position i of the list as given begin at values[i * count].
 *  @return : 0 (nothing happens for a count or channel count of 0 or less); 1
 *            "Channel not stored"; 4 the file is damaged; 5 a null array while count
 *            is above 0; 9 a listed channel's first stored level lies above `level`
 *            (nothing written); 12 an index outside the channel list (nothing
 *            written). */
KV_API KVStatus KVGetReducedValuesBlock(int32_t *indexes, int32_t channelCount, int32_t position, int32_t count,
                                        int32_t level, KVReducedValue *values);
KV_API KVStatus KVIGetReducedValuesBlock(KVReaderHandle reader, int32_t *indexes, int32_t channelCount,
                                         int32_t position, int32_t count, int32_t level, KVReducedValue *values);

#ifdef __cplusplus
}
#endif

#endif /* KVDATAREADERLIB_H */
