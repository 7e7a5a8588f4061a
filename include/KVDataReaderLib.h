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
  Ok = 0,                       /* success, empty message */
  Error = 1,                    /* general failure; the message tells which */
  CannotOpenFile = 2,           /* "Cannot open specified file" */
  FileAlreadyInUse = 3,         /* "File is already in use by another process" */
  FileCorrupt = 4,              /* "File is corrupted or has invalid format" */
  NoMemoryAlloc = 5,            /* "Memory allocation failed": buffer too small or null */
  CreateDestFile = 6,           /* "Failed to create destination file" */
  ExtractingFile = 7,           /* "Error occurred while extracting data" */
  CannotOpenExtractedFile = 8,  /* "Unable to open extracted file" */
  InvalidIBLevel = 9,           /* "Invalid IB level specified" */
  CANNotSupported = 10,         /* "Feature or operation not supported on CAN channel" */
  InvalidReaderHandle = 11,     /* "Invalid reader handle": a null reader handle */
  InvalidIndex = 12,            /* "Invalid index" */
  BufferTooSmall = 13           /* KVGetLastStatus only; never stored as a last status */
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
  int32_t data_type;      /* data type code 0 to 18 */
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
  ChDataType = 0,            /* int32 */
  ChDataTypeSize = 1,        /* int32: bytes of one value */
  ChIndexString = 2,         /* text */
  ChIndexStringLength = 3,   /* int32: length + 1 */
  ChType = 4,                /* int32: KVChannelType */
  ChScale = 5,               /* double */
  ChOffset = 6,              /* double */
  ChSetupXml = 7,            /* text */
  ChSetupXmlLength = 8,      /* int32: length + 1, 0 when none */
  ChPropertiesXml = 9,       /* text */
  ChPropertiesXmlLength = 10,/* int32: length + 1, 0 when none */
  ChCustomProps = 11,        /* KVCustomProperty[count] */
  ChCustomPropsCount = 12,   /* int32 */
  ChLongName = 13,           /* text */
  ChLongNameLength = 14      /* int32: length + 1 */
};

/*! Channel types (selector ChType). Asynchronous wins over single value. */
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

#ifdef __cplusplus
}
#endif

#endif /* KVDATAREADERLIB_H */
