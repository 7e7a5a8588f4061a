// CKVDataReader: one reader, holding at most one open data file, behind every
// exported function. Each public method serves the exported function of the same
// name; failures leave it as exceptions of the DataReaderLibException family.
// The reader owns its setup interpreter, event list and load engine for its whole
// life, and the container of the open file from open to close.
#pragma once

#include <cstdint>
#include <memory>

#include "KVDataReaderLib.h"
#include "reader/ChannelLists.h"
#include "setup/ScaleType.h"

namespace Korvane::DataReader {

class CDataLoadEngine;
class CKVChannel;
class CKVXMLHelper;
namespace Events {
class CKVEventHelper;
}
namespace MultiStream {
class CBaseStream;
class CStreamContainer;
}  // namespace MultiStream

class CKVDataReader {
 public:
  static constexpr int32_t kVersionMajor = 5;
  static constexpr int32_t kVersionMinor = 0;
  static constexpr int32_t kVersionPatch = 6;

  // A closed reader. Sets the process locale to "C" so that numbers in setup
  // documents read with a decimal point.
  CKVDataReader();
  virtual ~CKVDataReader();

  CKVDataReader(const CKVDataReader&) = delete;
  CKVDataReader& operator=(const CKVDataReader&) = delete;

  // The library version as major * 1000000 + minor * 1000 + patch (5000006).
  int32_t KVGetVersion() const noexcept;

  // True between a successful open and the next close.
  bool IsFileOpen() const noexcept { return fileOpen_; }

  // --- File -------------------------------------------------------------------

  // Opens a data file (zip-packaged for the extensions ".KXZ" and ".K7Z") and fills
  // info. A failed open releases everything it built and leaves the reader closed.
  void KVOpenDataFile(const char* fileName, KVFileInfo* info);
  // Closes the open file; "No file is open" (status 1) when there is none.
  void KVCloseDataFile();
  // Releases everything of the open file.
  void ClearDataFile() noexcept;
  // The stream holding the setup document ("SETUP___" or a shorter code), or null.
  MultiStream::CBaseStream* GetSetupXMLStream() const;
  void KVGetMeasurementInfo(KVMeasurementInfo* info);
  // The measurement-info index captured at the last successful open; -1 before.
  int32_t KVGetMultiFileIndex() const noexcept { return multiFileIndex_; }
  // The setup's storing mode; 0 when absent or no file is open.
  int32_t KVGetStoringType() const noexcept;
  // Writes the setup document's bytes unchanged into a new file.
  void KVExportHeader(const char* fileName);
  // Copies a whole stream and a zero byte behind it; a null buffer asks for the
  // size (stream size + 1).
  void KVGetStream(const char* streamName, void* buffer, int32_t* size);

  // --- Channel lists ----------------------------------------------------------

  int32_t KVGetChannelListCount() const;
  void KVGetChannelList(KVChannel* channels) const;
  void KVGetChannelListItem(int32_t position, int32_t* index, char* name, char* unit, char* description,
                            uint32_t* color, int32_t* arraySize, int32_t maxLength) const;
  int32_t KVGetComplexChannelListCount() const;
  void KVGetComplexChannelList(KVChannel* channels) const;
  void KVGetComplexChannelListItem(int32_t position, int32_t* index, char* name, char* unit,
                                   char* description, uint32_t* color, int32_t* arraySize,
                                   int32_t maxLength) const;
  int32_t KVGetBinChannelListCount() const;
  void KVGetBinChannelList(KVChannel* channels) const;
  int32_t KVGetTextChannelListCount() const;
  void KVGetTextChannelList(KVChannel* channels) const;
  void KVGetChannelFactors(int32_t index, double* scale, double* offset) const;
  void KVGetChannelProps(int32_t index, int32_t selector, void* buffer, int32_t* size) const;

  // --- Samples, text values and binary samples (CKVDataReaderSamples.cpp) ------

  // Samples stored for the channel; -1 for an index outside the channel list.
  int64_t KVGetSamplesCount(int32_t index) const;
  // `count` samples from sample number `position`: scaled doubles, the stored bytes,
  // or KVComplex (scaled or not), with one time stamp each unless timeStamps is
  // null. The scaled and raw reads of a CAN channel that is neither a port nor a
  // decoded signal fill the buffers and then fail (CANIsNotSupportedException).
  void KVGetScaledSamples(int32_t index, int64_t position, int32_t count, double* data, double* timeStamps) const;
  void KVGetRawSamples(int32_t index, int64_t position, int32_t count, void* data, double* timeStamps) const;
  void KVGetComplexScaledSamples(int32_t index, int64_t position, int32_t count, KVComplex* data,
                                 double* timeStamps) const;
  void KVGetComplexRawSamples(int32_t index, int64_t position, int32_t count, KVComplex* data,
                              double* timeStamps) const;
  // Binary payloads: one into buffer (*size: capacity in, payload size out), or
  // `count` packed behind their lengths (*size: capacity in, bytes used out).
  void KVGetBinarySamples(int32_t index, int64_t position, char* buffer, double* timeStamp, int32_t* size) const;
  void KVGetBinarySamplesEx(int32_t index, int64_t position, int32_t count, char* buffer, double* timeStamps,
                            int32_t* size) const;
  // `count` payload locators with their time stamps.
  void KVGetBinRecSamples(int32_t index, int64_t position, int32_t count, KVBinarySample* records,
                          double* timeStamps) const;
  // The payload a locator names, into a ring buffer of `size` bytes at *position.
  void KVGetBinData(int32_t index, const KVBinarySample* sample, char* buffer, int64_t* position,
                    int32_t size) const;
  // Text values of the channel; -1 for an index outside the channel list.
  int64_t KVGetTextValuesCount(int32_t index) const;
  // `count` text values from value number `position`, GetArraySize bytes each.
  void KVGetTextValues(int32_t index, int32_t position, int32_t count, char* text, double* timeStamps) const;

  // --- Header entries, array axes, events (CKVDataReaderHeaders.cpp) -----------

  int32_t KVGetHeaderEntryCount() const;
  void KVGetHeaderEntryList(KVChannel* entries) const;
  void KVGetHeaderEntryListItem(int32_t position, int32_t* index, char* name, char* unit, char* description,
                                uint32_t* color, int32_t* arraySize, int32_t maxLength) const;
  // The value of the header entry that is channel `index` of the full sequence, as text.
  void KVGetHeaderEntryText(int32_t index, char* text, int32_t maxLength) const;
  // The same for the entry at a header-list position, and its name and "LogicalName".
  void KVGetHeaderEntryTextF(int32_t position, char* text, int32_t maxLength) const;
  void KVGetHeaderEntryNameF(int32_t position, char* text, int32_t maxLength) const;
  void KVGetHeaderEntryIDF(int32_t position, char* text, int32_t maxLength) const;
  int32_t KVGetArrayInfoCount(int32_t index) const;
  void KVGetArrayInfoList(int32_t index, KVArrayInfo* infos) const;
  // The value at `position` of axis `axis` of a channel, as text or as a number.
  void KVGetArrayIndexValue(int32_t index, int32_t axis, int32_t position, char* text, int32_t maxLength) const;
  void KVGetArrayIndexValueF(int32_t index, int32_t axis, int32_t position, double* value) const;
  int32_t KVGetEventListCount() const;
  void KVGetEventList(KVEvent* events) const;
  void KVGetEventListItem(int32_t position, int32_t* type, double* time, char* text, int32_t maxLength) const;
  double KVGetEventTimeF(int32_t position) const;
  void KVGetEventTextF(int32_t position, char* text, int32_t maxLength) const;
  int32_t KVGetEventTypeF(int32_t position) const;

  // --- The reduced-data and trigger-data tables (CKVDataReaderTables.cpp) -------

  // Reduced-data columns: four per channel-list entry (maximum, minimum, average, RMS).
  int32_t KVGetReducedDataChannelCountF() const;
  void KVGetReducedDataChannelNameF(int32_t column, char* text, int32_t maxLength) const;
  int32_t KVGetReducedDataChannelIndexF(const char* name) const;
  void KVGetRecudedDataChannelInfoF(int32_t column, char* xUnit, int32_t xLength, char* yUnit, int32_t yLength,
                                    double* xStart, int32_t* blocks, double* rate) const;
  void KVGetRecudedDataF(int32_t column, double* x, double* y, int32_t position, int32_t count) const;
  void KVGetRecudedYDataF(int32_t column, double* y, int32_t position, int32_t count) const;
  void KVGetRecudedDataAllF(int32_t column, double* minima, double* averages, double* maxima, double* rmsValues,
                            int32_t position, int32_t count) const;
  // Trigger-data tables: one per recorded region, a column per channel-list entry.
  int32_t KVGetTriggerDataTriggerCountF() const;
  double KVGetTriggerDataTriggerTimeF(int32_t trigger) const;
  void KVGetTriggerDataChannelNameF(int32_t position, char* text, int32_t maxLength) const;
  int32_t KVGetTriggerDataChannelIndexF(const char* name) const;
  void KVGetTriggerDataChannelInfoF(int32_t trigger, int32_t position, char* xUnit, int32_t xLength, char* yUnit,
                                    int32_t yLength, double* xStart, double* count, double* rate,
                                    int32_t* type) const;
  void KVGetTriggerDataF(int32_t trigger, int32_t position, double* y, double* x, double start,
                         int32_t count) const;

  // --- Reduced values ---------------------------------------------------------

  // Reduced values stored for the channel and the seconds each one covers.
  void KVGetReducedValuesCount(int32_t index, int32_t* count, double* blockDuration) const;
  // `count` whole records from value number `position`.
  void KVGetReducedValues(int32_t index, int32_t position, int32_t count, KVReducedValue* records) const;
  // One statistic per value, and one time stamp per value when timeStamps is given.
  void KVGetReducedAveValues(int32_t index, int32_t position, int32_t count, double* data, double* timeStamps) const;
  void KVGetReducedMinValues(int32_t index, int32_t position, int32_t count, double* data, double* timeStamps) const;
  void KVGetReducedMaxValues(int32_t index, int32_t position, int32_t count, double* data, double* timeStamps) const;
  void KVGetReducedRMSValues(int32_t index, int32_t position, int32_t count, double* data, double* timeStamps) const;
  // The same window at `level` for several channels; the records of the channel at
  // list position i begin at element i x count, and the list comes back sorted.
  void KVGetReducedValuesBlock(int32_t* indexes, int32_t channelCount, int32_t position, int32_t count,
                               int32_t level, KVReducedValue* records) const;

 private:
  // The channel at a position of the full channel sequence, or InvalidIndexException.
  const CKVChannel& ChannelAt(int32_t index) const;
  // The same, or null for a position outside the sequence (the count functions).
  const CKVChannel* ChannelOrNull(int32_t index) const noexcept;
  // `count` samples of the channel in the form asked for, after the checks every
  // sample read shares; the channel read.
  const CKVChannel& ReadSamples(int32_t index, int64_t position, int32_t count, void* data, double* timeStamps,
                                ScaleType scaleType) const;
  MultiStream::CStreamContainer& OpenContainer() const;

  bool fileOpen_ = false;
  std::unique_ptr<CKVXMLHelper> setup_;
  std::unique_ptr<Events::CKVEventHelper> events_;
  std::unique_ptr<MultiStream::CStreamContainer> container_;
  std::unique_ptr<CDataLoadEngine> engine_;
  // The channel list of the open file, for the table functions.
  ChannelListIndex channelList_;
  int32_t multiFileIndex_ = -1;
};

}  // namespace Korvane::DataReader
