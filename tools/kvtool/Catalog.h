// Every channel of the open recording with what the commands need to know about
// it: names and units, which list it is on, its kind, rate, scaling, values per
// sample and sample count. Looks channels up by index, by name (an unknown name
// gets a message with the closest names) and by shell glob.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kvtool {

// The channel list a channel is offered on; it says which read functions apply.
enum class ChannelList { kNumeric, kComplex, kBinary, kText };

// Synchronous, asynchronous or single value (the library's KVChannelType).
enum class ChannelKind { kSync = 0, kAsync = 1, kSingle = 2 };

const char* ChannelListName(ChannelList list);  // "numeric", "complex", "binary", "text"
const char* ChannelKindName(ChannelKind kind);  // "sync", "async", "single"

struct ChannelEntry {
  int32_t index = 0;         // the channel argument of every call
  int32_t listPosition = -1;  // position in the numeric channel list (trigger and reduced tables), else -1
  std::string name;
  std::string unit;
  std::string description;
  ChannelList list = ChannelList::kNumeric;
  ChannelKind kind = ChannelKind::kSync;
  int32_t dataType = 0;   // KVDataType
  int32_t valueBytes = 0; // bytes of one stored value (KVChDataTypeSize)
  int32_t arraySize = 1;  // values per sample
  double rate = 0;        // samples per second of a synchronous channel, 0 for the others
  double scale = 1;
  double offset = 0;
  int64_t sampleCount = 0;
};

class Catalog {
 public:
  // Reads every list of the open recording; throws ToolError on a library failure.
  static Catalog Load();

  // In index order.
  const std::vector<ChannelEntry>& Channels() const { return channels_; }

  // A channel named by its index ("3") or its name; throws ToolError
  // (kExitBadInput) naming the closest channel names when none matches.
  const ChannelEntry& Resolve(const std::string& nameOrIndex) const;

  // The channels matched by any of the patterns (names or shell globs), in index
  // order, each once; every channel when patterns is empty. A pattern that matches
  // nothing throws ToolError (kExitBadInput) with the closest names.
  std::vector<const ChannelEntry*> Match(const std::vector<std::string>& patterns) const;

  // Up to `limit` channel names closest to text (edit distance), closest first.
  std::vector<std::string> ClosestNames(const std::string& text, size_t limit = 3) const;

 private:
  std::vector<ChannelEntry> channels_;
};

}  // namespace kvtool
