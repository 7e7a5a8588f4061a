// The per-channel part of the whole-file query fuzz target: properties, factors,
// axes, samples in every form, binary payloads, reduced values and blocks, and the
// two flat tables, each buffer sized from what the library reports.
#include <algorithm>
#include <cmath>
#include <limits>

#include "fuzz/ReaderQueries.h"

namespace Korvane::DataReader::Fuzz {
namespace {

// Bytes a fixed-size selector writes, or the selector that tells a variable size.
int32_t PropertyBytes(KVReaderHandle reader, int32_t index, int32_t selector) {
  const auto ask = [&](int32_t lengthSelector, int32_t unit) {
    Out<int32_t> value;
    Out<int32_t> size;
    *size.p() = 4;
    KVIGetChannelProps(reader, index, lengthSelector, value.p(), size.p());
    CheckAll("channel property length", value, size);
    const int64_t bytes = int64_t{value.Get()} * unit;
    return bytes < 0 || bytes > kMaxBufferBytes ? int32_t{-1} : static_cast<int32_t>(bytes);
  };
  switch (selector) {
    case KVChDataType: case KVChDataTypeSize: case KVChIndexStringLength: case KVChType:
    case KVChSetupXmlLength: case KVChPropertiesXmlLength: case KVChCustomPropsCount: case KVChLongNameLength:
      return 4;
    case KVChScale: case KVChOffset: return 8;
    case KVChIndexString: return ask(KVChIndexStringLength, 1);
    case KVChSetupXml: return ask(KVChSetupXmlLength, 1);
    case KVChPropertiesXml: return ask(KVChPropertiesXmlLength, 1);
    case KVChLongName: return ask(KVChLongNameLength, 1);
    case KVChCustomProps: return ask(KVChCustomPropsCount, static_cast<int32_t>(sizeof(KVCustomProperty)));
    default: return 0;
  }
}

// Every selector, and one no selector names, at capacities around what it needs.
void QueryProperties(KVReaderHandle reader, Params& params, int32_t index) {
  for (int32_t selector = -1; selector <= 16; ++selector) {
    const int32_t s = selector == 16 ? params.Around32(1000) : selector;
    const int32_t needed = PropertyBytes(reader, index, s);
    if (needed < 0) continue;
    int32_t capacity = needed;
    switch (params.Byte() % 5) {
      case 0: capacity = std::max(needed - 1, 0); break;
      case 1: capacity = 0; break;
      case 2: capacity = -1; break;
      default: break;
    }
    Guarded buffer(static_cast<size_t>(std::max(capacity, 0)));
    Out<int32_t> size;
    *size.p() = capacity;
    KVIGetChannelProps(reader, index, s, params.Byte() % 16 == 0 ? nullptr : buffer.As(), size.p());
    CheckAll("channel property", buffer, size);
  }
}

void QueryAxes(KVReaderHandle reader, Params& params, int32_t index) {
  Out<int32_t> count;
  KVIGetArrayInfoCount(reader, index, count.p());
  count.Check("axis count");
  const int32_t n = count.Get();
  std::vector<int32_t> sizes;
  if (n >= 0 && n <= 1000) {
    Guarded infos(static_cast<size_t>(n) * sizeof(KVArrayInfo));
    if (KVIGetArrayInfoList(reader, index, infos.As<KVArrayInfo>()) == KVOk) {
      for (int32_t i = 0; i < n; ++i) sizes.push_back(infos.As<KVArrayInfo>()[i].size);
    }
    infos.Check("axis list");
  }
  for (int round = 0; round < 2; ++round) {
    const int32_t axis = params.Around32(n);
    const int32_t axisSize = axis >= 0 && static_cast<size_t>(axis) < sizes.size() ? sizes[axis] : 1;
    const int32_t position = params.Around32(axisSize);
    const int32_t maxLength = std::min(params.TextLength(64), 4096);
    Guarded text(static_cast<size_t>(std::max(maxLength, 0)));
    Out<double> value;
    KVIGetArrayIndexValue(reader, index, axis, position, text.Chars(), maxLength);
    KVIGetArrayIndexValueF(reader, index, axis, position, value.p());
    CheckAll("axis value", text, value);
  }
}

// A window of `count` samples from `position` read into guarded buffers of what the
// channel can deliver; `valueBytes` per value, arraySize values per sample.
template <typename Read>
void ReadWindow(Params& params, int64_t available, int32_t arraySize, int64_t valueBytes, const char* call,
                Read read) {
  const int64_t position = params.Around(available);
  int64_t count = params.Around32(Params::Add(available, -std::max<int64_t>(position, 0)));
  const int64_t sampleBytes = valueBytes * std::max(arraySize, 1);
  const int64_t samples = Deliverable(available, position, count, sampleBytes);
  Guarded values(static_cast<size_t>(samples * sampleBytes));
  Guarded times(static_cast<size_t>(samples) * sizeof(double));
  read(position, static_cast<int32_t>(count), values.As(), params.Bit() ? times.As<double>() : nullptr);
  CheckAll(call, values, times);
}

void QuerySamples(KVReaderHandle reader, Params& params, int32_t index, int32_t arraySize) {
  using CountFunction = KVStatus (*)(KVReaderHandle, int32_t, int64_t*);
  Out<int64_t> count;
  int64_t available = -1;
  bool counted = true;
  for (const CountFunction f : {CountFunction{KVIGetScaledSamplesCount}, CountFunction{KVIGetRawSamplesCount},
                                CountFunction{KVIGetComplexScaledSamplesCount},
                                CountFunction{KVIGetComplexRawSamplesCount}, CountFunction{KVIGetBinarySamplesCount}}) {
    counted = f(reader, index, count.p()) == KVOk && counted;
    count.Check("sample count");
    if (counted) available = count.Get();
  }
  // Without a count the buffers must hold whatever window is asked for.
  if (!counted) available = kUnknownCount;
  Out<int32_t> typeSize, size;
  *size.p() = 4;
  KVIGetChannelProps(reader, index, KVChDataTypeSize, typeSize.p(), size.p());
  CheckAll("data type size", typeSize, size);
  const int64_t rawBytes = std::max(typeSize.Get(), 0);

  ReadWindow(params, available, arraySize, 8, "scaled samples", [&](int64_t p, int32_t n, void* v, double* t) {
    KVIGetScaledSamples(reader, index, p, n, static_cast<double*>(v), t);
  });
  ReadWindow(params, available, arraySize, rawBytes, "raw samples", [&](int64_t p, int32_t n, void* v, double* t) {
    KVIGetRawSamples(reader, index, p, n, v, t);
  });
  ReadWindow(params, available, arraySize, 16, "complex scaled samples",
             [&](int64_t p, int32_t n, void* v, double* t) {
               KVIGetComplexScaledSamples(reader, index, p, n, static_cast<KVComplex*>(v), t);
             });
  ReadWindow(params, available, arraySize, 16, "complex raw samples", [&](int64_t p, int32_t n, void* v, double* t) {
    KVIGetComplexRawSamples(reader, index, p, n, static_cast<KVComplex*>(v), t);
  });
  std::vector<KVBinarySample> locators;
  ReadWindow(params, available, arraySize, 16, "binary records", [&](int64_t p, int32_t n, void* v, double* t) {
    auto* records = static_cast<KVBinarySample*>(v);
    if (KVIGetBinRecSamples(reader, index, p, n, records, t) == KVOk && n > 0 && p >= 0 && p < available) {
      locators.push_back(records[0]);
    }
  });

  // Payloads: one, several packed, and one located into a ring.
  static constexpr int32_t kCapacities[] = {0, -1, 1, 4, 24, 100, 4096, 65536};
  const int32_t capacity = kCapacities[params.Byte() % std::size(kCapacities)];
  Guarded payload(static_cast<size_t>(std::max(capacity, 0)));
  Out<double> stamp;
  Out<int32_t> payloadSize;
  *payloadSize.p() = capacity;
  KVIGetBinarySamples(reader, index, params.Around(available), payload.Chars(), params.Bit() ? stamp.p() : nullptr,
                      payloadSize.p());
  CheckAll("binary samples", payload, stamp, payloadSize);

  const int64_t position = params.Around(available);
  int64_t packedCount = params.Around32(Params::Add(available, -std::max<int64_t>(position, 0)));
  const int64_t samples = Deliverable(available, position, packedCount, sizeof(double));
  Guarded packed(static_cast<size_t>(std::max(capacity, 0)));
  Guarded stamps(static_cast<size_t>(samples) * sizeof(double));
  *payloadSize.p() = capacity;
  KVIGetBinarySamplesEx(reader, index, position, static_cast<int32_t>(packedCount), packed.Chars(),
                        params.Bit() ? stamps.As<double>() : nullptr, payloadSize.p());
  CheckAll("binary samples packed", packed, stamps, payloadSize);

  locators.push_back({params.Around(1000), params.Around(100)});
  for (const KVBinarySample& locator : locators) {
    const int32_t ring = kCapacities[params.Byte() % std::size(kCapacities)];
    Guarded buffer(static_cast<size_t>(std::max(ring, 0)));
    Out<int64_t> at;
    *at.p() = params.Around(ring);
    Out<KVBinarySample> sample;
    *sample.p() = locator;
    KVIGetBinData(reader, index, sample.p(), buffer.Chars(), at.p(), ring);
    CheckAll("binary data", buffer, at, sample);
  }
}

void QueryReduced(KVReaderHandle reader, Params& params, int32_t index) {
  Out<int32_t> count;
  Out<double> duration;
  const bool counted = KVIGetReducedValuesCount(reader, index, count.p(), duration.p()) == KVOk;
  CheckAll("reduced count", count, duration);
  const int64_t available = counted ? count.Get() : kUnknownCount;
  ReadWindow(params, available, 1, sizeof(KVReducedValue), "reduced values",
             [&](int64_t p, int32_t n, void* v, double*) {
               KVIGetReducedValues(reader, index, Params::Narrow(p), n, static_cast<KVReducedValue*>(v));
             });
  using Statistic = KVStatus (*)(KVReaderHandle, int32_t, int32_t, int32_t, double*, double*);
  for (const Statistic f : {Statistic{KVIGetReducedAveValues}, Statistic{KVIGetReducedMinValues},
                            Statistic{KVIGetReducedMaxValues}, Statistic{KVIGetReducedRMSValues}}) {
    ReadWindow(params, available, 1, sizeof(double), "reduced statistic",
               [&](int64_t p, int32_t n, void* v, double* t) {
                 f(reader, index, Params::Narrow(p), n, static_cast<double*>(v), t);
               });
  }
}

}  // namespace

int32_t ValuesPerSample(KVReaderHandle reader, int32_t index) {
  Out<int32_t> type, size;
  *size.p() = 4;
  const bool known = KVIGetChannelProps(reader, index, KVChDataType, type.p(), size.p()) == KVOk;
  CheckAll("data type", type, size);
  if (!known) return 1;
  if (type.Get() == KVDataTypeText) return 256;
  Out<int32_t> count;
  KVIGetArrayInfoCount(reader, index, count.p());
  count.Check("axis count");
  if (count.Get() <= 0 || count.Get() > 1000) return 1;
  Guarded infos(static_cast<size_t>(count.Get()) * sizeof(KVArrayInfo));
  const bool listed = KVIGetArrayInfoList(reader, index, infos.As<KVArrayInfo>()) == KVOk;
  infos.Check("axis list");
  int64_t product = 1;
  for (int32_t i = 0; listed && i < count.Get() && product <= kMaxBufferBytes; ++i) {
    product *= std::max(infos.As<KVArrayInfo>()[i].size, 0);
  }
  return product == 0 || !listed ? 1 : Params::Narrow(product);
}

void QueryChannel(KVReaderHandle reader, Params& params, int32_t index, int32_t arraySize) {
  Out<double> scale, offset;
  KVIGetChannelFactors(reader, index, scale.p(), offset.p());
  CheckAll("channel factors", scale, offset);
  QueryProperties(reader, params, index);
  QueryAxes(reader, params, index);
  QuerySamples(reader, params, index, arraySize);
  QueryReduced(reader, params, index);
}

void QueryReducedBlock(KVReaderHandle reader, Params& params, const std::vector<int32_t>& indexes) {
  const int32_t listed = static_cast<int32_t>(std::min<size_t>(indexes.size(), 4));
  static constexpr int32_t kChannelCounts[] = {-1, 0, 1, 2};
  const uint8_t pick = params.Byte() % 5;
  const int32_t channelCount = pick < 4 ? kChannelCounts[pick] : listed;
  std::vector<int32_t> chosen;
  int64_t available = 0;
  for (int32_t i = 0; i < channelCount; ++i) {
    const int32_t index = indexes.empty() ? params.Around32(0) : indexes[params.Byte() % indexes.size()];
    chosen.push_back(index);
    Out<int32_t> count;
    Out<double> duration;
    const bool counted = KVIGetReducedValuesCount(reader, index, count.p(), duration.p()) == KVOk;
    available = std::max<int64_t>(available, counted ? count.Get() : kUnknownCount);
  }
  const int64_t position = params.Around(available);
  int64_t count = params.Around32(Params::Add(available, -std::max<int64_t>(position, 0)));
  // The records of list position i begin at i * count, so the whole count is needed
  // from the second channel on.
  const int64_t perChannel =
      channelCount > 1 ? std::min<int64_t>(std::max<int64_t>(count, 0),
                                           kMaxBufferBytes / int64_t{sizeof(KVReducedValue)} / channelCount)
                       : Deliverable(available, position, count, sizeof(KVReducedValue));
  if (channelCount > 1) count = std::min(count, perChannel);
  const int32_t level = params.Byte() % 8 == 0 ? params.Around32(3) : params.Byte() % 5 - 1;
  Guarded list(chosen.size() * sizeof(int32_t));
  std::copy(chosen.begin(), chosen.end(), list.As<int32_t>());
  Guarded values(static_cast<size_t>(perChannel * std::max(channelCount, 1)) * sizeof(KVReducedValue));
  KVIGetReducedValuesBlock(reader, list.As<int32_t>(), channelCount, Params::Narrow(position),
                           static_cast<int32_t>(count), level, values.As<KVReducedValue>());
  CheckAll("reduced block", list, values);
}

void QueryTables(KVReaderHandle reader, Params& params, const std::vector<int32_t>& arraySizes) {
  const auto units = [&](Guarded& x, Guarded& y, int32_t& xLength, int32_t& yLength) {
    xLength = std::min(params.TextLength(8), 256);
    yLength = std::min(params.TextLength(20), 256);
    x = Guarded(static_cast<size_t>(std::max(xLength, 0)));
    y = Guarded(static_cast<size_t>(std::max(yLength, 0)));
  };
  Out<int32_t> columns;
  KVIGetReducedDataChannelCountF(reader, columns.p());
  columns.Check("reduced column count");
  for (int round = 0; round < 2; ++round) {
    const int32_t column = params.Around32(columns.Get());
    const int32_t maxLength = std::min(params.TextLength(104), 4096);
    Guarded name(static_cast<size_t>(std::max(maxLength, 0)));
    Out<int32_t> found;
    const bool named = KVIGetReducedDataChannelNameF(reader, column, name.Chars(), maxLength) == KVOk && maxLength > 0;
    name.Check("reduced column name");
    KVIGetReducedDataChannelIndexF(reader, named ? name.Chars() : "no such column", found.p());
    found.Check("reduced column index");

    Guarded xUnit(0), yUnit(0);
    int32_t xLength = 0, yLength = 0;
    units(xUnit, yUnit, xLength, yLength);
    Out<double> xStart, rate;
    Out<int32_t> blocks;
    const bool counted = KVIGetRecudedDataChannelInfoF(reader, column, xUnit.Chars(), xLength, yUnit.Chars(),
                                                       yLength, xStart.p(), blocks.p(), rate.p()) == KVOk;
    CheckAll("reduced column info", xUnit, yUnit, xStart, blocks, rate);
    const int64_t available = counted ? blocks.Get() : kUnknownCount;
    ReadWindow(params, available, 1, sizeof(double), "reduced column", [&](int64_t p, int32_t n, void* v, double* t) {
      KVIGetRecudedDataF(reader, column, t, static_cast<double*>(v), Params::Narrow(p), n);
    });
    ReadWindow(params, available, 1, sizeof(double), "reduced column y",
               [&](int64_t p, int32_t n, void* v, double*) {
                 KVIGetRecudedYDataF(reader, column, static_cast<double*>(v), Params::Narrow(p), n);
               });
    const int64_t position = params.Around(available);
    int64_t count = params.Around32(Params::Add(available, -std::max<int64_t>(position, 0)));
    const size_t bytes = static_cast<size_t>(Deliverable(available, position, count, sizeof(double))) * sizeof(double);
    Guarded minima(bytes), averages(bytes), maxima(bytes), rms(bytes);
    KVIGetRecudedDataAllF(reader, column, minima.As<double>(), averages.As<double>(), maxima.As<double>(),
                          rms.As<double>(), Params::Narrow(position), static_cast<int32_t>(count));
    CheckAll("reduced column statistics", minima, averages, maxima, rms);
  }

  Out<int32_t> triggers;
  KVIGetTriggerDataTriggerCountF(reader, triggers.p());
  triggers.Check("trigger count");
  const auto entries = static_cast<int32_t>(arraySizes.size());
  for (int round = 0; round < 2; ++round) {
    const int32_t trigger = params.Around32(triggers.Get());
    const int32_t position = params.Around32(entries);
    Out<double> time;
    KVIGetTriggerDataTriggerTimeF(reader, trigger, time.p());
    const int32_t maxLength = std::min(params.TextLength(100), 4096);
    Guarded name(static_cast<size_t>(std::max(maxLength, 0)));
    Out<int32_t> found;
    const bool named = KVIGetTriggerDataChannelNameF(reader, position, name.Chars(), maxLength) == KVOk && maxLength > 0;
    name.Check("trigger channel name");
    KVIGetTriggerDataChannelIndexF(reader, named ? name.Chars() : "", found.p());
    CheckAll("trigger channel index", time, found);

    Guarded xUnit(0), yUnit(0);
    int32_t xLength = 0, yLength = 0;
    units(xUnit, yUnit, xLength, yLength);
    Out<double> xStart, samples, rate;
    Out<int32_t> type;
    const bool known = KVIGetTriggerDataChannelInfoF(reader, trigger, position, xUnit.Chars(), xLength, yUnit.Chars(),
                                                     yLength, xStart.p(), samples.p(), rate.p(), type.p()) == KVOk;
    CheckAll("trigger channel info", xUnit, yUnit, xStart, samples, rate, type);
    // The entries past those the pass recorded have an array size it does not know.
    const bool recorded = position >= 0 && position < entries;
    if (known && !recorded) continue;
    const int32_t arraySize = recorded ? arraySizes[position] : 1;
    const double available = known ? samples.Get() : 0;
    static const double kStarts[] = {0, -0.5, -1, 0.999, std::nan(""), INFINITY, 1e300, -1e300};
    const uint8_t pick = params.Byte();
    double start = pick % 3 == 0 ? available - 1 + pick % 5 : kStarts[pick % std::size(kStarts)];
    if (pick % 11 == 0) start = available / 2;
    const int64_t first = start > -1 && start < 9e18 ? static_cast<int64_t>(start) : 0;
    const int64_t stored = available >= 0 && available < 9e18 ? static_cast<int64_t>(available) : 0;
    int64_t count = params.Around32(stored - first);
    const int64_t values = Deliverable(stored, first, count,
                                       int64_t{sizeof(double)} * std::max(arraySize, 1));
    Guarded y(static_cast<size_t>(values * std::max(arraySize, 1)) * sizeof(double));
    Guarded x(static_cast<size_t>(values) * sizeof(double));
    KVIGetTriggerDataF(reader, trigger, position, y.As<double>(), params.Bit() ? x.As<double>() : nullptr, start,
                       static_cast<int32_t>(count));
    CheckAll("trigger data", y, x);
  }
}

}  // namespace Korvane::DataReader::Fuzz
