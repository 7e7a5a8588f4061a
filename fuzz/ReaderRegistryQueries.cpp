// The registry part of the whole-file query fuzz target: the file opened in the
// registry's active reader and every KV form called once on it, the text channel
// functions (which exist only there) on each text channel, then the registry torn
// down, so that no reader outlives the input.
#include <algorithm>
#include <limits>

#include "fuzz/ReaderQueries.h"

namespace Korvane::DataReader::Fuzz {
namespace {

// A text output of a capacity from the parameters.
struct Text {
  explicit Text(Params& params, int32_t needed)
      : length(std::min(params.TextLength(needed), 4096)), buffer(static_cast<size_t>(std::max(length, 0))) {}
  int32_t length;
  Guarded buffer;
};

void QueryTextChannels(Params& params) {
  const int32_t n = KVGetTextChannelListCount();
  if (n < 0 || n > 100000) return;
  Guarded records(static_cast<size_t>(n) * sizeof(KVChannel));
  const bool listed = KVGetTextChannelList(records.As<KVChannel>()) == KVOk;
  records.Check("text channel list");
  std::vector<std::pair<int32_t, int32_t>> channels;  // index, array size
  for (int32_t i = 0; listed && i < n && i < 4; ++i) {
    channels.emplace_back(records.As<KVChannel>()[i].index, records.As<KVChannel>()[i].array_size);
  }
  channels.emplace_back(params.Around32(n), 256);
  for (const auto& [index, arraySize] : channels) {
    // A failure returns its status code in place of the count.
    int64_t available = KVGetTextValuesCount(index);
    Out<int32_t> status, size;
    Guarded message(512);
    *size.p() = 512;
    if (KVGetLastStatus(status.p(), message.Chars(), size.p()) != KVOk || status.Get() != KVOk) {
      available = kUnknownCount;
    }
    CheckAll("last status", status, message, size);
    const int64_t position = Params::Narrow(params.Around(available));
    int64_t count = params.Around32(Params::Add(available, -std::max<int64_t>(position, 0)));
    const int64_t values = Deliverable(available, position, count, std::max(arraySize, 1));
    Guarded text(static_cast<size_t>(values * std::max(arraySize, 1)));
    Guarded times(static_cast<size_t>(values) * sizeof(double));
    KVGetTextValues(index, static_cast<int32_t>(position), static_cast<int32_t>(count), text.Chars(),
                    params.Bit() ? times.As<double>() : nullptr);
    CheckAll("text values", text, times);
  }
}

// Each KV form once, with arguments around the counts the active reader reports.
// Buffers hold what one value, record or capped text needs: the KVI pass has sized
// every window already, these calls check that the forms reach the same reader.
void QueryActiveReader(Params& params, const std::string& exportPath) {
  Out<KVMeasurementInfo> info;
  KVGetMeasurementInfo(info.p());
  info.Check("KV measurement info");
  KVGetMultiFileIndex();
  KVGetStoringType();
  Out<int32_t> size;
  KVGetStream("SETUP___", nullptr, size.p());
  size.Check("KV stream size");
  KVExportHeader(exportPath.c_str());

  using CountFunction = int32_t (*)();
  using ListFunction = KVStatus (*)(KVChannel*);
  std::vector<KVChannel> numeric, listed;  // the channel list, and every list's records
  for (const auto& [count, list] : {std::pair<CountFunction, ListFunction>{KVGetChannelListCount, KVGetChannelList},
                                    {KVGetComplexChannelListCount, KVGetComplexChannelList},
                                    {KVGetBinChannelListCount, KVGetBinChannelList},
                                    {KVGetHeaderEntryCount, KVGetHeaderEntryList}}) {
    const int32_t n = count();
    if (n < 0 || n > 100000) continue;
    Guarded records(static_cast<size_t>(n) * sizeof(KVChannel));
    if (list(records.As<KVChannel>()) == KVOk) {
      listed.insert(listed.end(), records.As<KVChannel>(), records.As<KVChannel>() + n);
      if (count == KVGetChannelListCount) numeric = listed;
    }
    records.Check("KV list");
  }
  {
    Out<int32_t> index, color, arraySize;
    Out<uint32_t> headerColor;
    Guarded name(100), unit(20), description(200);
    const int32_t position = params.Around32(KVGetChannelListCount());
    KVGetChannelListItem(position, index.p(), name.Chars(), unit.Chars(), description.Chars(), color.p(),
                         arraySize.p(), 100);
    KVGetComplexChannelListItem(params.Around32(KVGetComplexChannelListCount()), index.p(), name.Chars(),
                                unit.Chars(), description.Chars(), color.p(), arraySize.p(), 100);
    KVGetHeaderEntryListItem(params.Around32(KVGetHeaderEntryCount()), index.p(), name.Chars(), unit.Chars(),
                             description.Chars(), headerColor.p(), arraySize.p(), 100);
    CheckAll("KV list items", index, color, arraySize, headerColor, name, unit, description);
  }

  const int32_t texts = KVGetTextChannelListCount();
  if (texts > 0 && texts <= 100000) {
    Guarded records(static_cast<size_t>(texts) * sizeof(KVChannel));
    if (KVGetTextChannelList(records.As<KVChannel>()) == KVOk) {
      listed.insert(listed.end(), records.As<KVChannel>(), records.As<KVChannel>() + texts);
    }
    records.Check("KV text list");
  }

  // One channel of the lists (or an index no channel has), one value or record of
  // everything per-channel, in a buffer for the largest stored value.
  static constexpr int32_t kNoChannel[] = {-1, std::numeric_limits<int32_t>::min(),
                                           std::numeric_limits<int32_t>::max()};
  KVChannel channel{};
  channel.index = kNoChannel[params.Byte() % std::size(kNoChannel)];
  channel.array_size = 1;
  if (!listed.empty() && params.Byte() % 4 != 0) channel = listed[params.Byte() % listed.size()];
  const int32_t index = channel.index;
  constexpr int64_t kLargestValueBytes = 72;  // a long CAN record
  const int64_t valueBytes = kLargestValueBytes * std::max(channel.array_size, 1);
  if (valueBytes > kMaxBufferBytes) return;
  Out<double> scale, offset, time;
  KVGetChannelFactors(index, scale.p(), offset.p());
  Out<int32_t> propertySize;
  Guarded property(8);
  *propertySize.p() = 8;
  KVGetChannelProps(index, params.Byte() % 16 - 1, property.As(), propertySize.p());
  CheckAll("KV channel", scale, offset, property, propertySize);
  const int64_t samples = KVGetScaledSamplesCount(index);
  KVGetRawSamplesCount(index);
  KVGetComplexScaledSamplesCount(index);
  KVGetComplexRawSamplesCount(index);
  KVGetBinarySamplesCount(index);
  const int64_t last = std::max<int64_t>(Params::Add(samples, -1), 0);
  Guarded value(static_cast<size_t>(valueBytes));
  KVGetScaledSamples(index, last, 1, value.As<double>(), time.p());
  KVGetRawSamples(index, last, 1, value.As(), time.p());
  KVGetComplexScaledSamples(index, last, 1, value.As<KVComplex>(), time.p());
  KVGetComplexRawSamples(index, last, 1, value.As<KVComplex>(), time.p());
  KVGetBinRecSamples(index, last, 1, value.As<KVBinarySample>(), time.p());
  CheckAll("KV samples", value, time);
  Guarded payload(256);
  Out<int32_t> payloadSize;
  *payloadSize.p() = 256;
  KVGetBinarySamples(index, last, payload.Chars(), time.p(), payloadSize.p());
  *payloadSize.p() = 256;
  KVGetBinarySamplesEx(index, last, 1, payload.Chars(), time.p(), payloadSize.p());
  Out<KVBinarySample> locator;
  *locator.p() = KVBinarySample{params.Around(16), params.Around(16)};
  Out<int64_t> ring;
  *ring.p() = params.Around(256);
  KVGetBinData(index, locator.p(), payload.Chars(), ring.p(), 256);
  CheckAll("KV binary", payload, payloadSize, locator, ring, time);

  Out<int32_t> reducedCount;
  Out<double> duration;
  KVGetReducedValuesCount(index, reducedCount.p(), duration.p());
  const int32_t reducedLast = Params::Narrow(std::max<int64_t>(int64_t{reducedCount.Get()} - 1, 0));
  Out<KVReducedValue> record;
  Out<double> statistic;
  KVGetReducedValues(index, reducedLast, 1, record.p());
  KVGetReducedAveValues(index, reducedLast, 1, statistic.p(), time.p());
  KVGetReducedMinValues(index, reducedLast, 1, statistic.p(), time.p());
  KVGetReducedMaxValues(index, reducedLast, 1, statistic.p(), time.p());
  KVGetReducedRMSValues(index, reducedLast, 1, statistic.p(), time.p());
  Out<int32_t> blockIndex;
  *blockIndex.p() = index;
  KVGetReducedValuesBlock(blockIndex.p(), 1, reducedLast, 1, params.Byte() % 4 - 1, record.p());
  CheckAll("KV reduced", reducedCount, duration, record, statistic, blockIndex, time);

  const int32_t axes = KVGetArrayInfoCount(index);
  if (axes >= 0 && axes <= 1000) {
    Guarded infos(static_cast<size_t>(axes) * sizeof(KVArrayInfo));
    KVGetArrayInfoList(index, infos.As<KVArrayInfo>());
    infos.Check("KV axes");
  }
  Text axisText(params, 32);
  Out<double> axisValue;
  KVGetArrayIndexValue(index, params.Around32(axes), params.Around32(1), axisText.buffer.Chars(), axisText.length);
  KVGetArrayIndexValueF(index, params.Around32(axes), params.Around32(1), axisValue.p());
  CheckAll("KV axis values", axisText.buffer, axisValue);

  const int32_t entries = KVGetHeaderEntryCount();
  const int32_t entry = params.Around32(entries);
  Text entryText(params, 64);
  KVGetHeaderEntryText(index, entryText.buffer.Chars(), entryText.length);
  KVGetHeaderEntryTextF(entry, entryText.buffer.Chars(), entryText.length);
  KVGetHeaderEntryNameF(entry, entryText.buffer.Chars(), entryText.length);
  KVGetHeaderEntryIDF(entry, entryText.buffer.Chars(), entryText.length);
  entryText.buffer.Check("KV header entry texts");

  const int32_t events = KVGetEventListCount();
  if (events >= 0 && events <= 100000) {
    Guarded list(static_cast<size_t>(events) * sizeof(KVEvent));
    KVGetEventList(list.As<KVEvent>());
    list.Check("KV events");
  }
  const int32_t event = params.Around32(events);
  Text eventText(params, 200);
  Out<int32_t> eventType;
  KVGetEventListItem(event, eventType.p(), time.p(), eventText.buffer.Chars(), eventText.length);
  KVGetEventTimeF(event);
  KVGetEventTypeF(event);
  KVGetEventTextF(event, eventText.buffer.Chars(), eventText.length);
  CheckAll("KV event item", eventText.buffer, eventType, time);

  const int32_t column = params.Around32(KVGetReducedDataChannelCountF());
  Text columnName(params, 104);
  const bool named = KVGetReducedDataChannelNameF(column, columnName.buffer.Chars(), columnName.length) == KVOk &&
                     columnName.length > 0;
  columnName.buffer.Check("KV column name");
  KVGetReducedDataChannelIndexF(named ? columnName.buffer.Chars() : "x");
  Guarded xUnit(16), yUnit(16);
  Out<double> xStart, rate;
  Out<int32_t> blocks;
  KVGetRecudedDataChannelInfoF(column, xUnit.Chars(), 16, yUnit.Chars(), 16, xStart.p(), blocks.p(), rate.p());
  const int32_t blockLast = Params::Narrow(std::max<int64_t>(int64_t{blocks.Get()} - 1, 0));
  Out<double> x, y, minimum, average, maximum, rms;
  KVGetRecudedDataF(column, x.p(), y.p(), blockLast, 1);
  KVGetRecudedYDataF(column, y.p(), blockLast, 1);
  KVGetRecudedDataAllF(column, minimum.p(), average.p(), maximum.p(), rms.p(), blockLast, 1);
  CheckAll("KV reduced table", xUnit, yUnit, xStart, rate, blocks, x, y, minimum, average, maximum, rms);

  const int32_t trigger = params.Around32(KVGetTriggerDataTriggerCountF());
  KVGetTriggerDataTriggerTimeF(trigger);
  const int32_t entryPosition = params.Around32(static_cast<int64_t>(numeric.size()));
  Text channelName(params, 100);
  const bool found = KVGetTriggerDataChannelNameF(entryPosition, channelName.buffer.Chars(), channelName.length) ==
                         KVOk && channelName.length > 0;
  channelName.buffer.Check("KV trigger channel name");
  KVGetTriggerDataChannelIndexF(found ? channelName.buffer.Chars() : "");
  Out<double> triggerStart, triggerCount, triggerRate;
  Out<int32_t> type;
  KVGetTriggerDataChannelInfoF(trigger, entryPosition, xUnit.Chars(), 16, yUnit.Chars(), 16, triggerStart.p(),
                               triggerCount.p(), triggerRate.p(), type.p());
  // One sample of the entry: as many values as its record gives.
  const bool entryKnown = entryPosition >= 0 && static_cast<size_t>(entryPosition) < numeric.size();
  const int64_t entryValues = entryKnown ? std::max(numeric[entryPosition].array_size, 1) : 0;
  if (entryValues * 8 <= kMaxBufferBytes) {
    Guarded entryValue(static_cast<size_t>(entryValues) * sizeof(double));
    KVGetTriggerDataF(trigger, entryPosition, entryValue.As<double>(), x.p(), std::max(triggerCount.Get() - 1, 0.0),
                      1);
    CheckAll("KV trigger data", entryValue, x);
  }
  CheckAll("KV trigger table", xUnit, yUnit, triggerStart, triggerCount, triggerRate, type);

  QueryTextChannels(params);
}

}  // namespace

void QueryRegistryForms(const std::string& path, Params& params, const std::string& exportPath) {
  KVInit();
  KVAddReader();
  Out<int32_t> readers;
  KVGetNumReaders(readers.p());
  readers.Check("reader count");
  KVSetActiveReader(params.Around32(readers.Get()));
  KVSetActiveReader(0);
  KVGetVersion();
  Out<int32_t> major, minor, patch;
  KVGetVersionEx(major.p(), minor.p(), patch.p());
  CheckAll("version", major, minor, patch);

  Out<KVFileInfo> info;
  if (KVOpenDataFile(path.c_str(), info.p()) == KVOk) {
    info.Check("KV open");
    QueryActiveReader(params, exportPath);
    KVCloseDataFile();
  }
  Out<int32_t> status, size;
  Text message(params, 64);
  *size.p() = message.length;
  KVGetLastStatus(status.p(), message.buffer.Chars(), size.p());
  CheckAll("last status", status, message.buffer, size);
  KVDeInit();
}

}  // namespace Korvane::DataReader::Fuzz
