// Any bytes as a data file: opened as a plain multi-stream container and as a
// zip-packaged file; every stream is then read whole, sought around at random and
// scanned with the record framing readers. Only the library's own exceptions may
// leave the library.
#include <cstdint>
#include <vector>

#include "common/DataReaderLibException.h"
#include "multistream/CMultiStream.h"
#include "multistream/CZipStream.h"
#include "testkit/ByteWriter.h"
#include "testkit/TempDir.h"

namespace {

using namespace Korvane::DataReader;
using namespace Korvane::DataReader::MultiStream;

// A small deterministic generator, seeded from the input, for seek targets.
struct Lcg {
  uint64_t state;
  uint64_t Next() {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return state >> 33;
  }
};

template <class Action>
void Expect(Action&& action) {
  try {
    action();
  } catch (const DataReaderLibException&) {
  }
}

void ExerciseStream(CBaseStream& stream, Lcg& random) {
  Expect([&] {
    const int64_t size = stream.Size();
    std::vector<uint8_t> chunk(4096);
    stream.Seek(0, kSeekBegin);
    for (int64_t done = 0; done < size + 4096; done += 4096) stream.Read(chunk.data(), 4096);
  });
  for (int i = 0; i < 64; ++i) {
    Expect([&] {
      const int64_t size = stream.Size();
      const int64_t offset = static_cast<int64_t>(random.Next() % static_cast<uint64_t>(2 * size + 3)) - size - 1;
      stream.Seek(offset, static_cast<EnumSeekOrigin>(random.Next() % 4));
      uint8_t bytes[300];
      stream.Read(bytes, static_cast<int32_t>(random.Next() % sizeof bytes));
    });
  }
  Expect([&] {
    stream.Seek(0, kSeekBegin);
    for (int record = 0; record < 1000 && stream.GenCheckFore64("EventS"); ++record) {
      char* text = nullptr;
      stream.ReadAllocStringFromStream64(text, record % 2 == 1);
      delete[] text;
      uint8_t count = 0;
      uint32_t values[kMaxIndexListValues];
      stream.ReadIndexFromStream64(count, values);
      stream.GenCheckBack64("EventS");
    }
  });
}

template <class Container, class EachStream>
void ExerciseContainer(const std::string& path, Lcg& random, EachStream&& eachStream) {
  Container container;
  try {
    container.OpenFile(path.c_str());
  } catch (const DataReaderLibException&) {
    return;
  }
  container.GetFileVersionInt();
  container.StreamByCode("SETUP___");
  eachStream(container, [&](CBaseStream& stream) { ExerciseStream(stream, random); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TestKit::TempDir* scratch = new TestKit::TempDir();
  const std::string path = scratch->File("input.kvd");
  TestKit::WriteFile(path, std::vector<uint8_t>(data, data + size));
  Lcg random{size * 0x9E3779B97F4A7C15ULL + (size > 0 ? data[size / 2] : 0)};

  ExerciseContainer<CMultiStream>(path, random, [](CMultiStream& container, auto&& exercise) {
    for (size_t i = 0; i < container.StreamCount(); ++i) exercise(*container.StreamAt(i));
    exercise(*container.DirectoryStream());
  });
  ExerciseContainer<CZipStream>(path, random, [](CZipStream& container, auto&& exercise) {
    for (size_t i = 0; i < container.ElementCount(); ++i) exercise(*container.ElementAt(i)->Stream());
  });
  return 0;
}
