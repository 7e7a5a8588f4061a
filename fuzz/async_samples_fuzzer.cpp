// Any bytes as a whole plain data file: opened the way the reader opens one
// (container, setup, events, engine), then every asynchronous channel counted over
// all regions and per region and read in many windows (whole, consecutive ones that
// resume the channel's cache, one before the cached one, region-restricted, past
// the end, INT32_MAX samples) in every output form. The host buffers are sized from
// the counts the engine gave, each followed by guard bytes that must stay intact:
// whatever the bytes, each call returns or throws one of the library's exceptions,
// never writes beyond what it said exists, hangs or allocates beyond the file (run
// with -malloc_limit_mb). Windows that walk the same samples must deliver the same
// ones, and no count may exceed the file's size. KV_ASYNC_FUZZ_VERBOSE=1 prints
// the counts of each input's channels (to check the seeds).
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "asyncindex/AsyncIndexLibException.h"
#include "common/DataReaderLibException.h"
#include "engine/CDataLoadEngine.h"
#include "events/CKVEventHelper.h"
#include "multistream/CMultiStream.h"
#include "setup/CKVChannel.h"
#include "setup/CKVXMLHelper.h"
#include "testkit/ByteWriter.h"
#include "testkit/TempDir.h"

namespace {

using namespace Korvane::DataReader;

// The most samples one window asks for, and the most bytes one host buffer holds:
// a count above them is read in windows inside them.
constexpr int64_t kMaxWindowSamples = int64_t{1} << 16;
constexpr int64_t kMaxBufferBytes = int64_t{4} << 20;
// Regions counted and read one by one (the first ones and the last one).
constexpr int kMaxRegionsEach = 6;
constexpr size_t kGuardBytes = 64;
constexpr uint8_t kGuard = 0xA5;

// Runs one engine call; an exception of the library's families ends only that call.
template <class Call>
bool Try(Call&& call) {
  try {
    call();
    return true;
  } catch (const DataReaderLibException&) {
  } catch (const AsyncIndexLibException&) {
  } catch (const std::exception&) {
  }
  return false;
}

// A host buffer of `bytes` bytes followed by guard bytes, all preset to the guard.
class GuardedBuffer {
 public:
  explicit GuardedBuffer(size_t bytes) : bytes_(bytes), data_(bytes + kGuardBytes, kGuard) {}
  uint8_t* data() { return data_.data(); }
  // Aborts when anything behind the buffer was written.
  void Check(const char* what) const {
    for (size_t i = bytes_; i < data_.size(); ++i) {
      if (data_[i] != kGuard) {
        std::fprintf(stderr, "%s: byte %zu behind a buffer of %zu bytes written\n", what, i - bytes_, bytes_);
        std::abort();
      }
    }
  }

 private:
  size_t bytes_;
  std::vector<uint8_t> data_;
};

const CKVChannel& StorageOf(const CKVChannel& channel) {
  return channel.DecodedFromParent && channel.ParentChannel != nullptr ? *channel.ParentChannel : channel;
}

// Value-buffer bytes one value of the channel takes in an output form (the binary
// payload forms use a capacity instead; character output writes no values).
int64_t ValueBytes(const CKVChannel& channel, ScaleType form, bool charOutput) {
  if (charOutput || form == ScaleType::BinaryData || form == ScaleType::BinaryPacked) return 0;
  if (form == ScaleType::BinaryRecords) return 16;
  const CKVChannel& storage = StorageOf(channel);
  const bool decoded = &storage != &channel || (channel.IsCAN() && channel.MultiplexType == 2);
  const bool raw = form == ScaleType::Raw || form == ScaleType::RawEx;
  if (channel.IsCANPortChannel() && !decoded) {
    if (form == ScaleType::Scaled) return 8;
    return raw ? storage.GetSampleBytes() : 0;
  }
  if (channel.IsComplex()) return form == ScaleType::RawEx ? storage.GetSampleBytes() : 16;
  if (form == ScaleType::Scaled) return 8;
  return raw ? channel.GetSampleBytes() : 0;
}

int64_t ValuesPerSample(const CKVChannel& channel) {
  return &StorageOf(channel) == &channel ? std::max(channel.GetArraySize(), 1) : 1;
}

struct Form {
  ScaleType type = ScaleType::Scaled;
  bool charOutput = false;
  bool timeStamps = true;
  int binaryCapacity = 0;  // the payload forms' capacity
};

struct Window {
  int64_t first;
  int count;        // asked for
  int64_t expected; // at most delivered: buffers are sized for this many samples
  int firstRegion;
  int lastRegion;
};

class ChannelExercise {
 public:
  ChannelExercise(CDataLoadEngine& engine, const CKVChannel& channel, size_t fileBytes)
      : engine_(engine), channel_(channel), fileBytes_(fileBytes) {}

  void Run() {
    const int regions = engine_.GetRegionCount();
    int64_t total = -1;
    Try([&] { total = engine_.GetAsyncSamplesCount(&channel_, 0, std::numeric_limits<int>::max()); });
    Try([&] { engine_.GetAsyncSamplesCount(&channel_, 1, 0); });
    Try([&] { engine_.GetAsyncSamplesCount(&channel_, -5, -1); });
    std::vector<std::pair<int, int64_t>> perRegion;
    for (int r = 0; r < regions; ++r) {
      if (r >= kMaxRegionsEach && r != regions - 1) continue;
      int64_t n = -1;
      if (Try([&] { n = engine_.GetAsyncSamplesCount(&channel_, r, r); }) && n >= 0) perRegion.emplace_back(r, n);
    }
    if (std::getenv("KV_ASYNC_FUZZ_VERBOSE") != nullptr) {
      std::fprintf(stderr, "%s: %lld samples;", channel_.KVIndex, static_cast<long long>(total));
      for (const auto& [r, n] : perRegion) std::fprintf(stderr, " region %d: %lld", r, static_cast<long long>(n));
      std::fprintf(stderr, "\n");
    }
    // Each stored sample takes bytes of the file: a count beyond its size would
    // make a host size its buffers for samples that cannot exist.
    std::vector<int64_t> counts{total};
    for (const auto& [r, n] : perRegion) counts.push_back(n);
    for (const int64_t n : counts) {
      if (n > static_cast<int64_t>(fileBytes_)) {
        std::fprintf(stderr, "%lld samples counted in a file of %zu bytes\n", static_cast<long long>(n), fileBytes_);
        std::abort();
      }
    }
    if (total < 0) total = 0;  // the reads must still keep inside what exists: none
    const int64_t perSample = SampleBytesBound();
    if (perSample <= 0) return;
    limit_ = std::max<int64_t>(1, std::min(kMaxWindowSamples, kMaxBufferBytes / perSample));
    const int all = std::numeric_limits<int>::max();

    Compare(total, perRegion, regions);

    // Every form over the first window and one inside.
    const int64_t head = std::min(total, limit_);
    for (const Form& form : Forms()) {
      Read({0, static_cast<int>(std::max<int64_t>(head, 1)), head, 0, all}, form);
      if (total > 2) Read({total / 2, static_cast<int>(std::min(total - total / 2, limit_)), 0, 0, all}, form);
    }
    const Form scaled;
    Form raw;
    raw.type = ScaleType::Raw;
    raw.timeStamps = false;

    // Consecutive windows resume the cache; then one before the cached one.
    const int64_t step = std::clamp<int64_t>(total / 5, 1, limit_);
    int64_t first = 0;
    for (int i = 0; i < 7 && first < total; ++i, first += step) {
      Read({first, static_cast<int>(step), 0, 0, all}, i % 2 ? raw : scaled);
    }
    Read({total / 3, static_cast<int>(step), 0, 0, all}, scaled);
    Read({std::max<int64_t>(0, total / 2 - 1), 2, 0, 0, all}, scaled);
    Read({0, 1, 0, 0, all}, scaled);
    // Single samples across the end.
    if (total > 0) Read({total - 1, 1, 0, 0, all}, raw);

    // Region-restricted windows, interleaved with windows over all regions.
    for (const auto& [r, n] : perRegion) {
      const int64_t part = std::min(n, limit_);
      Read({0, static_cast<int>(std::max<int64_t>(part, 1)), part, r, r}, scaled);
      if (n > 1) {
        Read({n / 2, static_cast<int>(std::min(n - n / 2, limit_)), 0, r, r}, raw);
        Read({0, 1, 0, 0, all}, scaled);
        Read({n / 2 + 1, static_cast<int>(std::min(n, limit_)), 0, r, r}, scaled);
      }
      Read({n, 5, 0, r, r}, scaled);
      if (r + 1 < regions) Read({0, static_cast<int>(std::max<int64_t>(part, 1)), 0, r, r + 1}, scaled);
    }
    // Past the end, and INT32_MAX samples into buffers for what exists.
    Read({total, 10, 0, 0, all}, scaled);
    Read({total + 1000, 10, 0, 0, all}, raw);
    Read({std::numeric_limits<int64_t>::max() / 2, 10, 0, 0, all}, scaled);
    if (total <= limit_) {
      Read({0, std::numeric_limits<int>::max(), total, 0, all}, scaled);
      Read({0, std::numeric_limits<int>::max(), total, 0, all}, raw);
      Form chars;
      chars.charOutput = true;
      Read({0, std::numeric_limits<int>::max(), total, 0, all}, chars);
      Form records;
      records.type = ScaleType::BinaryRecords;
      Read({0, std::numeric_limits<int>::max(), total, -3, all}, records);
    }
    // Nothing may be written for these.
    Read({-1, 5, 0, 0, all}, scaled);
    Read({0, 0, 0, 0, all}, scaled);
    Read({0, -7, 0, 0, all}, scaled);
    Read({0, 5, 0, 3, 1}, scaled);
    Read({0, 5, 0, regions, all}, scaled);
  }

 private:
  // Scaled values and time stamps of one window, into buffers of `count` samples
  // preset to the guard; false when the read threw.
  bool Collect(int64_t first, int64_t count, int firstRegion, int lastRegion, std::vector<uint8_t>& out) {
    const int64_t valueBytes = count * ValuesPerSample(channel_) * ValueBytes(channel_, ScaleType::Scaled, false);
    out.assign(static_cast<size_t>(valueBytes + count * 8), kGuard);
    return Try([&] {
      engine_.GetAsyncSamples(&channel_, first, static_cast<int>(count), out.data(),
                              reinterpret_cast<double*>(out.data() + valueBytes), firstRegion, lastRegion, false,
                              nullptr, ScaleType::Scaled);
    });
  }

  // Samples a Collect buffer of `count` received: time stamps are written from
  // the first slot on, the rest keep the guard.
  static int64_t Delivered(const std::vector<uint8_t>& buffer, int64_t count, int64_t sampleBytes) {
    const uint8_t* times = buffer.data() + count * sampleBytes;
    int64_t delivered = 0;
    while (delivered < count &&
           std::any_of(times + delivered * 8, times + delivered * 8 + 8, [](uint8_t b) { return b != kGuard; })) {
      ++delivered;
    }
    return delivered;
  }

  // Windows that walk the stored samples from a region's start deliver what one
  // read of everything delivers: consecutive windows (which resume the cache), a
  // window from 0 after them, each region on its own; only when no call threw, a
  // difference aborts. A window that starts later skips samples by the stored
  // counts, which a damaged file may contradict: it is read (Run) but not
  // compared.
  void Compare(int64_t total, const std::vector<std::pair<int, int64_t>>& perRegion, int regions) {
    if (total <= 0 || total > limit_ || total > 100000) return;
    std::vector<uint8_t> whole;
    if (!Collect(0, total, 0, regions - 1, whole)) return;
    const int64_t sampleBytes = ValuesPerSample(channel_) * ValueBytes(channel_, ScaleType::Scaled, false);
    // The first `count` samples of `part` (a Collect buffer of `size` samples)
    // against samples first.. of the read of everything.
    auto same = [&](const std::vector<uint8_t>& part, int64_t size, int64_t first, int64_t count, const char* what) {
      const uint8_t* values = whole.data();
      const uint8_t* times = whole.data() + total * sampleBytes;
      const uint8_t* partTimes = part.data() + size * sampleBytes;
      const bool equal =
          std::memcmp(part.data(), values + first * sampleBytes, static_cast<size_t>(count * sampleBytes)) == 0 &&
          std::memcmp(partTimes, times + first * 8, static_cast<size_t>(count * 8)) == 0;
      if (!equal) {
        std::fprintf(stderr, "%s: samples %lld to %lld differ from one read of all %lld\n", what,
                     static_cast<long long>(first), static_cast<long long>(first + count - 1),
                     static_cast<long long>(total));
        for (int64_t i = 0; i < count; ++i) {
          double a = 0, b = 0;
          std::memcpy(&a, partTimes + i * 8, 8);
          std::memcpy(&b, times + (first + i) * 8, 8);
          std::fprintf(stderr, "  sample %lld: time %.17g, in the read of all %.17g\n",
                       static_cast<long long>(first + i), a, b);
          // The value bytes, this window's against the read of all.
          for (int64_t k = 0; k < sampleBytes; ++k) {
            std::fprintf(stderr, " %02x/%02x", part[static_cast<size_t>(i * sampleBytes + k)],
                         values[(first + i) * sampleBytes + k]);
          }
          std::fprintf(stderr, "\n");
        }
        std::abort();
      }
    };
    // Where a damaged file holds fewer samples than its count, a window past the
    // last one delivered finds nothing to resume from and numbers the rest by the
    // stored counts: only the windows up to there are the same walk.
    const int64_t delivered = Delivered(whole, total, sampleBytes);
    std::vector<uint8_t> part;
    for (const int64_t step : {int64_t{1}, int64_t{3}, std::max<int64_t>(1, total / 4)}) {
      for (int64_t first = 0; first < delivered; first += step) {
        const int64_t count = std::min(step, total - first);
        if (!Collect(first, count, 0, regions - 1, part)) return;
        same(part, count, first, count, "consecutive windows");
        if (step == 1 && first > 40) break;
      }
    }
    if (!Collect(0, total / 2 + 1, 0, regions - 1, part)) return;
    same(part, total / 2 + 1, 0, total / 2 + 1, "a window before the cached one");
    int64_t before = 0;
    for (size_t i = 0; i < perRegion.size(); ++i) {
      const auto [r, n] = perRegion[i];
      if (r != static_cast<int>(i) || n < 0 || before + n > total) return;
      // One slot more than the count: a damaged file may hold more or fewer
      // samples in a region than its count says. Compare what came, and go on
      // only while the counts held.
      if (!Collect(0, n + 1, r, r, part)) return;
      const int64_t inRegion = Delivered(part, n + 1, sampleBytes);
      same(part, n + 1, before, std::min(inRegion, n), "a region on its own");
      if (inRegion != n) return;
      before += n;
    }
  }

  // The most value bytes one sample takes in any form.
  int64_t SampleBytesBound() const {
    int64_t most = 1;
    for (int type = 0; type <= 6; ++type) {
      most = std::max(most, ValueBytes(channel_, static_cast<ScaleType>(type), false));
    }
    const int64_t values = ValuesPerSample(channel_);
    if (values > kMaxBufferBytes / most) return 0;
    return std::max<int64_t>(most * values, 8);
  }

  static std::vector<Form> Forms() {
    std::vector<Form> forms;
    for (int type = 0; type <= 6; ++type) {
      for (const bool charOutput : {false, true}) {
        Form form;
        form.type = static_cast<ScaleType>(type);
        form.charOutput = charOutput;
        form.timeStamps = !(type == 1 && charOutput);  // one form without time stamps
        if (form.type == ScaleType::BinaryData || form.type == ScaleType::BinaryPacked) {
          for (const int capacity : {0, 9, 1 << 16}) {
            form.binaryCapacity = capacity;
            forms.push_back(form);
          }
        } else {
          forms.push_back(form);
        }
      }
    }
    return forms;
  }

  // One window into guarded buffers for `expected` samples, or, when the window
  // says none, for what the window itself can take (at most the clamp).
  void Read(Window window, const Form& form) {
    int64_t samples = window.expected;
    if (samples <= 0) samples = std::min<int64_t>(std::max(window.count, 0), limit_);
    if (window.count > samples && window.expected <= 0) window.count = static_cast<int>(samples);
    const int64_t values = samples * ValuesPerSample(channel_);
    const bool payload = form.type == ScaleType::BinaryData || form.type == ScaleType::BinaryPacked;
    const int64_t valueBytes = payload && !form.charOutput
                                   ? form.binaryCapacity
                                   : values * ValueBytes(channel_, form.type, form.charOutput);
    GuardedBuffer valueBuffer(static_cast<size_t>(valueBytes));
    GuardedBuffer timeBuffer(static_cast<size_t>(samples) * sizeof(double));
    GuardedBuffer charBuffer(form.charOutput ? static_cast<size_t>(values) : 0);
    int binaryBytes = form.binaryCapacity;
    Try([&] {
      engine_.GetAsyncSamples(&channel_, window.first, window.count, valueBuffer.data(),
                              form.timeStamps ? reinterpret_cast<double*>(timeBuffer.data()) : nullptr,
                              window.firstRegion, window.lastRegion, form.charOutput,
                              reinterpret_cast<char*>(charBuffer.data()), form.type,
                              payload ? &binaryBytes : nullptr);
    });
    valueBuffer.Check("values");
    timeBuffer.Check("time stamps");
    charBuffer.Check("characters");
    if (payload && (binaryBytes < 0 || binaryBytes > std::max(form.binaryCapacity, 0))) {
      std::fprintf(stderr, "binary bytes %d beyond the capacity %d\n", binaryBytes, form.binaryCapacity);
      std::abort();
    }
  }

  CDataLoadEngine& engine_;
  const CKVChannel& channel_;
  size_t fileBytes_;
  int64_t limit_ = 1;
};

// One file opened as the reader opens it; its engine is dropped before the rest.
void Exercise(const std::string& path, size_t fileBytes) {
  MultiStream::CMultiStream container;
  CKVXMLHelper setup;
  Events::CKVEventHelper events;
  Try([&] {
    container.OpenFile(path.c_str());
    const int version = container.GetFileVersionInt();
    // As the reader: no setup, no file; no event stream, no events.
    MultiStream::CBaseStream* setupStream = container.StreamByCode("SETUP___");
    if (setupStream == nullptr) return;
    setup.OpenAndParseFile(setupStream, container.StreamByCode("MEASINFO"), version);
    events.SetOldFormat(version < 7100);
    if (MultiStream::CBaseStream* eventStream = container.StreamByCode("EVENTS__")) events.ReadFromStream(eventStream);
    events.SetBlockSize(setup.GetBlockSize());
    events.SetSampleRate(setup.GetSampleRate());
    std::array<int32_t, Events::kReducedLevelCount> rates{};
    for (int i = 0; i < Events::kReducedLevelCount; ++i) rates[i] = static_cast<int32_t>(setup.GetIBRates()[i]);
    events.SetIBRates(rates);
    CDataLoadEngine engine(&setup, &events);
    engine.SetContainer(&container);
    engine.Initiate();
    for (const auto& channel : setup.GetChannelList()) {
      if (channel->Async) ChannelExercise(engine, *channel, fileBytes).Run();
    }
    engine.Clear();
  });
  Try([&] { setup.CloseFile(); });
  Try([&] { container.CloseFile(); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Korvane::DataReader::TestKit::TempDir directory;
  const std::string path = directory.File("input.kvd");
  Korvane::DataReader::TestKit::WriteFile(path, std::vector<uint8_t>(data, data + size));
  Exercise(path, size);
  return 0;
}
