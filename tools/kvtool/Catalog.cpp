// Builds the channel catalogue from the four channel lists and answers lookups.
#include "Catalog.h"

#include <fnmatch.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>

#include "KVDataReaderLib.h"
#include "ToolError.h"

namespace kvtool {
namespace {

std::vector<KVChannel> ReadList(int32_t (*count)(void), KVStatus (*fill)(KVChannel*), const char* what) {
  const int32_t n = count();
  if (n < 0) CheckStatus(KVError, std::string("counting the ") + what);
  std::vector<KVChannel> records(static_cast<size_t>(n) + 1);
  if (n > 0) CheckStatus(fill(records.data()), std::string("listing the ") + what);
  records.resize(static_cast<size_t>(n));
  return records;
}

int32_t IntProperty(int32_t index, int32_t selector) {
  int32_t value = 0;
  int32_t size = sizeof value;
  CheckStatus(KVGetChannelProps(index, selector, &value, &size), "reading a channel property");
  return value;
}

int64_t SampleCount(const ChannelEntry& channel) {
  int64_t count = -1;
  switch (channel.list) {
    case ChannelList::kNumeric: count = KVGetScaledSamplesCount(channel.index); break;
    case ChannelList::kComplex: count = KVGetComplexScaledSamplesCount(channel.index); break;
    case ChannelList::kBinary: count = KVGetBinarySamplesCount(channel.index); break;
    case ChannelList::kText: count = KVGetTextValuesCount(channel.index); break;
  }
  if (count < 0) CheckStatus(KVError, "counting the samples of " + channel.name);
  return count;
}

// A synchronous channel's own rate: the trigger table gives it for channels of
// the numeric list; the others (and recordings without a region) take the spacing
// of their first two time stamps, or the recording's rate.
double ChannelRate(const ChannelEntry& channel, int32_t regions, double recordingRate) {
  if (channel.kind != ChannelKind::kSync) return 0;
  if (channel.listPosition >= 0 && regions > 0) {
    char xUnit[16], yUnit[32];
    double xStart = 0, count = 0, rate = 0;
    int32_t type = 0;
    if (KVGetTriggerDataChannelInfoF(0, channel.listPosition, xUnit, sizeof xUnit, yUnit, sizeof yUnit, &xStart,
                                     &count, &rate, &type) == KVOk && rate > 0) {
      return rate;
    }
  }
  if (channel.sampleCount >= 2 && channel.list == ChannelList::kNumeric) {
    std::vector<double> values(static_cast<size_t>(2 * channel.arraySize));
    double time[2] = {};
    if (KVGetScaledSamples(channel.index, 0, 2, values.data(), time) == KVOk && time[1] > time[0]) {
      return 1.0 / (time[1] - time[0]);
    }
  }
  return recordingRate;
}

std::string Lower(const std::string& text) {
  std::string out = text;
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::string Suggestion(const Catalog& catalog, const std::string& text) {
  const std::vector<std::string> names = catalog.ClosestNames(text);
  if (names.empty()) return " (the recording has no channels)";
  std::string out = "; closest: ";
  for (size_t i = 0; i < names.size(); ++i) out += (i ? ", " : "") + ("\"" + names[i] + "\"");
  return out + " (`kvtool channels FILE` lists them all)";
}

}  // namespace

const char* ChannelListName(ChannelList list) {
  switch (list) {
    case ChannelList::kNumeric: return "numeric";
    case ChannelList::kComplex: return "complex";
    case ChannelList::kBinary: return "binary";
    case ChannelList::kText: return "text";
  }
  return "?";
}

const char* ChannelKindName(ChannelKind kind) {
  switch (kind) {
    case ChannelKind::kSync: return "sync";
    case ChannelKind::kAsync: return "async";
    case ChannelKind::kSingle: return "single";
  }
  return "?";
}

Catalog Catalog::Load() {
  KVMeasurementInfo info{};
  CheckStatus(KVGetMeasurementInfo(&info), "reading the measurement info");
  const int32_t regions = std::max(KVGetTriggerDataTriggerCountF(), 0);
  struct Source {
    ChannelList list;
    std::vector<KVChannel> records;
  };
  const Source sources[] = {
      {ChannelList::kNumeric, ReadList(KVGetChannelListCount, KVGetChannelList, "channels")},
      {ChannelList::kComplex, ReadList(KVGetComplexChannelListCount, KVGetComplexChannelList, "complex channels")},
      {ChannelList::kBinary, ReadList(KVGetBinChannelListCount, KVGetBinChannelList, "binary channels")},
      {ChannelList::kText, ReadList(KVGetTextChannelListCount, KVGetTextChannelList, "text channels")},
  };
  Catalog catalog;
  for (const Source& source : sources) {
    for (size_t position = 0; position < source.records.size(); ++position) {
      const KVChannel& record = source.records[position];
      ChannelEntry channel;
      channel.index = record.index;
      channel.listPosition = source.list == ChannelList::kNumeric ? static_cast<int32_t>(position) : -1;
      channel.name = std::string(record.name, strnlen(record.name, sizeof record.name));
      channel.unit = std::string(record.unit, strnlen(record.unit, sizeof record.unit));
      channel.description = std::string(record.description, strnlen(record.description, sizeof record.description));
      channel.list = source.list;
      channel.dataType = record.data_type;
      channel.arraySize = std::max(record.array_size, 1);
      channel.kind = static_cast<ChannelKind>(IntProperty(record.index, KVChType));
      channel.valueBytes = IntProperty(record.index, KVChDataTypeSize);
      CheckStatus(KVGetChannelFactors(record.index, &channel.scale, &channel.offset), "reading the scaling of " +
                                                                                          channel.name);
      channel.sampleCount = SampleCount(channel);
      channel.rate = ChannelRate(channel, regions, info.sample_rate);
      catalog.channels_.push_back(std::move(channel));
    }
  }
  std::sort(catalog.channels_.begin(), catalog.channels_.end(),
            [](const ChannelEntry& a, const ChannelEntry& b) { return a.index < b.index; });
  return catalog;
}

const ChannelEntry& Catalog::Resolve(const std::string& nameOrIndex) const {
  for (const ChannelEntry& channel : channels_) {
    if (channel.name == nameOrIndex) return channel;
  }
  int32_t index = -1;
  const char* end = nameOrIndex.data() + nameOrIndex.size();
  if (!nameOrIndex.empty() && std::from_chars(nameOrIndex.data(), end, index).ptr == end) {
    for (const ChannelEntry& channel : channels_) {
      if (channel.index == index) return channel;
    }
    throw ToolError(kExitBadInput, "no channel has index " + nameOrIndex + Suggestion(*this, nameOrIndex));
  }
  throw ToolError(kExitBadInput, "no channel is named \"" + nameOrIndex + "\"" + Suggestion(*this, nameOrIndex));
}

std::vector<const ChannelEntry*> Catalog::Match(const std::vector<std::string>& patterns) const {
  std::vector<const ChannelEntry*> matched;
  if (patterns.empty()) {
    for (const ChannelEntry& channel : channels_) matched.push_back(&channel);
    return matched;
  }
  std::vector<bool> taken(channels_.size());
  for (const std::string& pattern : patterns) {
    bool any = false;
    for (size_t i = 0; i < channels_.size(); ++i) {
      if (channels_[i].name != pattern && fnmatch(pattern.c_str(), channels_[i].name.c_str(), 0) != 0) continue;
      any = true;
      taken[i] = true;
    }
    if (!any) throw ToolError(kExitBadInput, "no channel matches \"" + pattern + "\"" + Suggestion(*this, pattern));
  }
  for (size_t i = 0; i < channels_.size(); ++i) {
    if (taken[i]) matched.push_back(&channels_[i]);
  }
  return matched;
}

std::vector<std::string> Catalog::ClosestNames(const std::string& text, size_t limit) const {
  const std::string wanted = Lower(text);
  std::vector<std::pair<size_t, const std::string*>> ranked;
  for (const ChannelEntry& channel : channels_) {
    const std::string name = Lower(channel.name);
    // A name that contains what was typed is closer than any spelling distance.
    const size_t distance = !wanted.empty() && name.find(wanted) != std::string::npos ? 0 : EditDistance(wanted, name) + 1;
    ranked.emplace_back(distance, &channel.name);
  }
  std::stable_sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string> names;
  for (size_t i = 0; i < ranked.size() && i < limit; ++i) names.push_back(*ranked[i].second);
  return names;
}

}  // namespace kvtool
