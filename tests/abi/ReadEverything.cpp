// ReadEverything: every query of a whole recording through the reader-handle
// functions, each answer appended to a transcript. Buffers are sized from what the
// library reports, and sizes a damaged file could make absurd are capped so that a
// test never allocates more than a few megabytes.
#include "ReadEverything.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace Korvane::DataReader::AbiTest {
namespace {

constexpr int64_t kMaxValues = 1 << 20;  // values per buffer
constexpr int32_t kText = 256;

class Reader {
 public:
  Reader(KVReaderHandle reader, const ReadLimits& limits, ReadTranscript& out)
      : reader_(reader), limits_(limits), out_(out) {}

  void All() {
    KVMeasurementInfo info{};
    Note(KVIGetMeasurementInfo(reader_, &info));
    Put(info);
    int32_t number = 0;
    Note(KVIGetMultiFileIndex(reader_, &number));
    Put(number);
    Note(KVIGetStoringType(reader_, &number));
    Put(number);
    int32_t size = 0;
    Note(KVIGetStream(reader_, "EVENTS__", nullptr, &size));
    Put(size);

    for (const KVChannel& channel : List(KVIGetChannelListCount, KVIGetChannelList)) Numeric(channel);
    for (const KVChannel& channel : List(KVIGetComplexChannelListCount, KVIGetComplexChannelList)) Complex(channel);
    for (const KVChannel& channel : List(KVIGetBinChannelListCount, KVIGetBinChannelList)) Binary(channel);
    HeaderEntries();
    Events();
    ReducedTable();
    TriggerTable();
  }

 private:
  template <class T>
  void Put(const T& value) {
    out_.answers.append(reinterpret_cast<const char*>(&value), sizeof value);
  }
  void PutBytes(const void* data, size_t size) { out_.answers.append(static_cast<const char*>(data), size); }
  void PutText(const char* text, size_t capacity) { out_.answers.append(text, strnlen(text, capacity)); }
  KVStatus Note(KVStatus status) {
    ++out_.calls;
    out_.statuses.insert(status);
    Put(status);
    return status;
  }

  using CountFn = KVStatus (*)(KVReaderHandle, int32_t*);
  using ListFn = KVStatus (*)(KVReaderHandle, KVChannel*);
  std::vector<KVChannel> List(CountFn count, ListFn list) {
    int32_t n = 0;
    if (Note(count(reader_, &n)) != KVOk || n <= 0 || n > 100000) return {};
    std::vector<KVChannel> channels(static_cast<size_t>(n));
    if (Note(list(reader_, channels.data())) != KVOk) return {};
    for (const KVChannel& channel : channels) PutBytes(&channel, sizeof channel);
    return channels;
  }

  // The windows of a read over `total` items: all of them, or windowsPerChannel
  // spread over the items with the last one included.
  std::vector<int64_t> Windows(int64_t total, int64_t window) const {
    std::vector<int64_t> starts;
    if (total <= 0 || window <= 0) return starts;
    const int64_t windows = (total - 1) / window + 1;
    if (windows <= limits_.windowsPerChannel) {
      for (int64_t start = 0; start < total; start += window) starts.push_back(start);
      return starts;
    }
    const int64_t wanted = std::max<int64_t>(limits_.windowsPerChannel, 1);
    for (int64_t k = 0; k < wanted; ++k) {
      const int64_t w = wanted == 1 ? windows - 1 : k * (windows - 1) / (wanted - 1);
      starts.push_back(w * window);
    }
    return starts;
  }

  int32_t WindowFor(int64_t valuesPerItem) const {
    if (valuesPerItem <= 0 || valuesPerItem > kMaxValues) return 0;
    return static_cast<int32_t>(std::clamp<int64_t>(kMaxValues / valuesPerItem, 1, limits_.window));
  }

  void Properties(const KVChannel& channel) {
    double scale = 0, offset = 0;
    Note(KVIGetChannelFactors(reader_, channel.index, &scale, &offset));
    Put(scale);
    Put(offset);
    for (int32_t selector : {KVChDataType, KVChDataTypeSize, KVChType, KVChCustomPropsCount}) {
      int32_t value = 0, size = sizeof value;
      Note(KVIGetChannelProps(reader_, channel.index, selector, &value, &size));
      Put(value);
    }
    for (const auto& [lengthSelector, textSelector] :
         {std::pair{KVChIndexStringLength, KVChIndexString}, std::pair{KVChSetupXmlLength, KVChSetupXml},
          std::pair{KVChPropertiesXmlLength, KVChPropertiesXml}, std::pair{KVChLongNameLength, KVChLongName}}) {
      int32_t length = 0, size = sizeof length;
      if (Note(KVIGetChannelProps(reader_, channel.index, lengthSelector, &length, &size)) != KVOk) continue;
      Put(length);
      if (length <= 0 || length > kMaxValues) continue;
      std::vector<char> text(static_cast<size_t>(length), '\0');
      size = length;
      Note(KVIGetChannelProps(reader_, channel.index, textSelector, text.data(), &size));
      PutText(text.data(), text.size());
    }
    int32_t count = 0, size = sizeof count;
    if (Note(KVIGetChannelProps(reader_, channel.index, KVChCustomPropsCount, &count, &size)) == KVOk && count > 0 &&
        count < 10000) {
      std::vector<KVCustomProperty> properties(static_cast<size_t>(count));
      size = static_cast<int32_t>(properties.size() * sizeof(KVCustomProperty));
      Note(KVIGetChannelProps(reader_, channel.index, KVChCustomProps, properties.data(), &size));
      for (const KVCustomProperty& property : properties) {
        PutText(property.name, sizeof property.name);
        Put(property.value_type);
      }
    }
    ArrayAxes(channel);
  }

  void ArrayAxes(const KVChannel& channel) {
    int32_t axes = 0;
    if (Note(KVIGetArrayInfoCount(reader_, channel.index, &axes)) != KVOk || axes <= 0 || axes > 64) return;
    std::vector<KVArrayInfo> infos(static_cast<size_t>(axes));
    if (Note(KVIGetArrayInfoList(reader_, channel.index, infos.data())) != KVOk) return;
    for (int32_t axis = 0; axis < axes; ++axis) {
      PutBytes(&infos[static_cast<size_t>(axis)], sizeof(KVArrayInfo));
      const int32_t positions = std::min(infos[static_cast<size_t>(axis)].size, 4096);
      for (int32_t position = 0; position < positions; ++position) {
        char text[64];
        double value = 0;
        Note(KVIGetArrayIndexValue(reader_, channel.index, axis, position, text, sizeof text));
        PutText(text, sizeof text);
        Note(KVIGetArrayIndexValueF(reader_, channel.index, axis, position, &value));
        Put(value);
      }
    }
  }

  void Numeric(const KVChannel& channel) {
    Properties(channel);
    int64_t total = 0;
    Note(KVIGetScaledSamplesCount(reader_, channel.index, &total));
    Put(total);
    int64_t rawCount = 0;
    Note(KVIGetRawSamplesCount(reader_, channel.index, &rawCount));
    Put(rawCount);
    int32_t valueSize = 0, size = sizeof valueSize;
    Note(KVIGetChannelProps(reader_, channel.index, KVChDataTypeSize, &valueSize, &size));
    const int64_t arraySize = std::max(channel.array_size, 1);
    const int32_t window = WindowFor(arraySize * std::max(valueSize, 8));
    if (window > 0) {
      std::vector<double> values(static_cast<size_t>(window * arraySize)), times(static_cast<size_t>(window));
      std::vector<uint8_t> raw(values.size() * static_cast<size_t>(std::max(valueSize, 8)));
      for (int64_t start : Windows(total, window)) {
        const auto n = static_cast<int32_t>(std::min<int64_t>(window, total - start));
        Note(KVIGetScaledSamples(reader_, channel.index, start, n, values.data(), times.data()));
        PutBytes(values.data(), static_cast<size_t>(n * arraySize) * sizeof(double));
        PutBytes(times.data(), static_cast<size_t>(n) * sizeof(double));
        Note(KVIGetRawSamples(reader_, channel.index, start, n, raw.data(), nullptr));
        if (valueSize > 0) PutBytes(raw.data(), static_cast<size_t>(n * arraySize * valueSize));
      }
    }
    Reduced(channel);
  }

  void Reduced(const KVChannel& channel) {
    int32_t total = 0;
    double duration = 0;
    if (Note(KVIGetReducedValuesCount(reader_, channel.index, &total, &duration)) != KVOk) return;
    Put(total);
    Put(duration);
    std::vector<KVReducedValue> records(static_cast<size_t>(limits_.window));
    std::vector<double> data(records.size()), times(records.size());
    for (int64_t start : Windows(total, limits_.window)) {
      const auto position = static_cast<int32_t>(start);
      const auto n = static_cast<int32_t>(std::min<int64_t>(limits_.window, total - start));
      Note(KVIGetReducedValues(reader_, channel.index, position, n, records.data()));
      PutBytes(records.data(), static_cast<size_t>(n) * sizeof(KVReducedValue));
      for (auto statistic : {KVIGetReducedAveValues, KVIGetReducedMinValues, KVIGetReducedMaxValues,
                             KVIGetReducedRMSValues}) {
        Note(statistic(reader_, channel.index, position, n, data.data(), times.data()));
        PutBytes(data.data(), static_cast<size_t>(n) * sizeof(double));
      }
      int32_t index = channel.index;
      Note(KVIGetReducedValuesBlock(reader_, &index, 1, position, n, 0, records.data()));
      PutBytes(records.data(), static_cast<size_t>(n) * sizeof(KVReducedValue));
    }
  }

  void Complex(const KVChannel& channel) {
    Properties(channel);
    int64_t total = 0;
    Note(KVIGetComplexScaledSamplesCount(reader_, channel.index, &total));
    Put(total);
    const int64_t arraySize = std::max(channel.array_size, 1);
    const int32_t window = WindowFor(arraySize * 16);
    if (window <= 0) return;
    std::vector<KVComplex> values(static_cast<size_t>(window * arraySize));
    std::vector<double> times(static_cast<size_t>(window));
    for (int64_t start : Windows(total, window)) {
      const auto n = static_cast<int32_t>(std::min<int64_t>(window, total - start));
      for (auto read : {KVIGetComplexScaledSamples, KVIGetComplexRawSamples}) {
        Note(read(reader_, channel.index, start, n, values.data(), times.data()));
        PutBytes(values.data(), static_cast<size_t>(n * arraySize) * sizeof(KVComplex));
      }
    }
  }

  void Binary(const KVChannel& channel) {
    Properties(channel);
    int64_t total = 0;
    Note(KVIGetBinarySamplesCount(reader_, channel.index, &total));
    Put(total);
    std::vector<KVBinarySample> records(static_cast<size_t>(limits_.window));
    std::vector<double> times(records.size());
    std::vector<char> payload(1 << 16);
    for (int64_t start : Windows(total, limits_.window)) {
      const auto n = static_cast<int32_t>(std::min<int64_t>(limits_.window, total - start));
      if (Note(KVIGetBinRecSamples(reader_, channel.index, start, n, records.data(), times.data())) != KVOk) continue;
      for (int32_t k = 0; k < n; ++k) {
        int64_t position = 0;
        Note(KVIGetBinData(reader_, channel.index, &records[static_cast<size_t>(k)], payload.data(), &position,
                           static_cast<int32_t>(payload.size())));
        Put(position);
        PutBytes(payload.data(), static_cast<size_t>(std::clamp<int64_t>(position, 0, 1 << 16)));
        int32_t size = static_cast<int32_t>(payload.size());
        double time = 0;
        Note(KVIGetBinarySamples(reader_, channel.index, start + k, payload.data(), &time, &size));
        Put(size);
        Put(time);
      }
    }
  }

  void HeaderEntries() {
    const std::vector<KVChannel> entries = List(KVIGetHeaderEntryCount, KVIGetHeaderEntryList);
    for (int32_t position = 0; position < static_cast<int32_t>(entries.size()); ++position) {
      char text[kText];
      Note(KVIGetHeaderEntryText(reader_, entries[static_cast<size_t>(position)].index, text, kText));
      PutText(text, kText);
      for (auto read : {KVIGetHeaderEntryTextF, KVIGetHeaderEntryNameF, KVIGetHeaderEntryIDF}) {
        Note(read(reader_, position, text, kText));
        PutText(text, kText);
      }
    }
  }

  void Events() {
    int32_t count = 0;
    if (Note(KVIGetEventListCount(reader_, &count)) != KVOk || count <= 0 || count > kMaxValues) return;
    std::vector<KVEvent> events(static_cast<size_t>(count));
    Note(KVIGetEventList(reader_, events.data()));
    PutBytes(events.data(), events.size() * sizeof(KVEvent));
    for (int64_t start : Windows(count, 1)) {
      const auto position = static_cast<int32_t>(start);
      int32_t type = 0;
      double time = 0;
      char text[kText];
      Note(KVIGetEventListItem(reader_, position, &type, &time, text, kText));
      Put(type);
      Put(time);
      PutText(text, kText);
    }
  }

  void ReducedTable() {
    int32_t columns = 0;
    if (Note(KVIGetReducedDataChannelCountF(reader_, &columns)) != KVOk || columns <= 0 || columns > 400000) return;
    std::vector<double> x(static_cast<size_t>(limits_.window)), y(x.size());
    for (int32_t column = 0; column < columns; ++column) {
      char name[kText], xUnit[32], yUnit[32];
      if (Note(KVIGetReducedDataChannelNameF(reader_, column, name, kText)) == KVOk) {
        int32_t found = -1;
        Note(KVIGetReducedDataChannelIndexF(reader_, name, &found));
        Put(found);
      }
      double xStart = 0, rate = 0;
      int32_t blocks = 0;
      if (Note(KVIGetRecudedDataChannelInfoF(reader_, column, xUnit, sizeof xUnit, yUnit, sizeof yUnit, &xStart,
                                             &blocks, &rate)) != KVOk) {
        continue;
      }
      Put(xStart);
      Put(blocks);
      Put(rate);
      for (int64_t start : Windows(blocks, limits_.window)) {
        const auto n = static_cast<int32_t>(std::min<int64_t>(limits_.window, blocks - start));
        Note(KVIGetRecudedDataF(reader_, column, x.data(), y.data(), static_cast<int32_t>(start), n));
        PutBytes(y.data(), static_cast<size_t>(n) * sizeof(double));
      }
    }
  }

  void TriggerTable() {
    int32_t triggers = 0, entries = 0;
    if (Note(KVIGetTriggerDataTriggerCountF(reader_, &triggers)) != KVOk || triggers <= 0 || triggers > 100000) return;
    if (Note(KVIGetChannelListCount(reader_, &entries)) != KVOk) return;
    std::vector<double> x(static_cast<size_t>(limits_.window)), y(x.size());
    for (int32_t trigger = 0; trigger < triggers; ++trigger) {
      double time = 0;
      Note(KVIGetTriggerDataTriggerTimeF(reader_, trigger, &time));
      Put(time);
      for (int32_t position = 0; position < entries; ++position) {
        char xUnit[32], yUnit[32];
        double xStart = 0, count = 0, rate = 0;
        int32_t type = 0;
        if (Note(KVIGetTriggerDataChannelInfoF(reader_, trigger, position, xUnit, sizeof xUnit, yUnit, sizeof yUnit,
                                               &xStart, &count, &rate, &type)) != KVOk) {
          continue;
        }
        Put(count);
        Put(type);
        // Only the first window of each entry: the sample reads above cover the rest.
        const int32_t n = count > 0 && count < 1e12 ? static_cast<int32_t>(std::min<double>(count, 1)) : 0;
        if (n > 0) {
          Note(KVIGetTriggerDataF(reader_, trigger, position, y.data(), x.data(), 0, n));
          Put(y[0]);
          Put(x[0]);
        }
      }
    }
  }

  KVReaderHandle reader_;
  const ReadLimits& limits_;
  ReadTranscript& out_;
};

}  // namespace

ReadTranscript ReadEverything(KVReaderHandle reader, const std::string& path, const ReadLimits& limits) {
  ReadTranscript transcript;
  KVFileInfo info{};
  transcript.openStatus = KVIOpenDataFile(reader, path.c_str(), &info);
  if (transcript.openStatus != KVOk) return transcript;
  transcript.answers.append(reinterpret_cast<const char*>(&info), sizeof info);
  Reader(reader, limits, transcript).All();
  transcript.statuses.insert(KVICloseDataFile(reader));
  return transcript;
}

KVStatus ReadTextValues(const std::string& path, ReadTranscript& transcript) {
  if (KVInit() != KVOk) return KVError;
  KVFileInfo info{};
  const KVStatus open = KVOpenDataFile(path.c_str(), &info);
  if (open == KVOk) {
    const int32_t count = KVGetTextChannelListCount();
    std::vector<KVChannel> channels(static_cast<size_t>(std::clamp(count, 0, 10000)));
    if (!channels.empty()) transcript.statuses.insert(KVGetTextChannelList(channels.data()));
    for (const KVChannel& channel : channels) {
      const int64_t values = KVGetTextValuesCount(channel.index);
      const int64_t width = std::max(channel.array_size, 1);
      const int64_t n = std::clamp<int64_t>(values, 0, std::max<int64_t>(kMaxValues / width, 1));
      if (n <= 0 || width > kMaxValues) continue;
      std::vector<char> text(static_cast<size_t>(n * width));
      std::vector<double> times(static_cast<size_t>(n));
      transcript.statuses.insert(KVGetTextValues(channel.index, 0, static_cast<int32_t>(n), text.data(), times.data()));
      transcript.answers.append(text.data(), strnlen(text.data(), text.size()));
    }
    transcript.statuses.insert(KVCloseDataFile());
  }
  KVDeInit();
  return open;
}

}  // namespace Korvane::DataReader::AbiTest
