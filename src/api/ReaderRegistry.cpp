// The registry state machine: empty, then one or more readers of which one is active.
#include "api/ReaderRegistry.h"

#include <memory>
#include <vector>

#include "api/CallFrame.h"

namespace Korvane::DataReader::Api {
namespace {

constexpr int32_t kRegistryRefused = 1;

CKVDataReader* data_reader = nullptr;
std::vector<std::unique_ptr<CKVDataReader>> all_data_readers;

// Creates a reader, enters it in the registry and makes it active.
KVStatus AppendActiveReader() noexcept {
  return RunGuarded([] {
    all_data_readers.reserve(all_data_readers.size() + 1);
    all_data_readers.push_back(std::make_unique<CKVDataReader>());
    data_reader = all_data_readers.back().get();
  });
}

}  // namespace

KVReaderHandle ActiveHandle() noexcept { return ToHandle(data_reader); }

int32_t InitRegistry() noexcept {
  if (data_reader != nullptr) return kRegistryRefused;
  return AppendActiveReader() == KVOk ? KVOk : kRegistryRefused;
}

int32_t DeInitRegistry() noexcept {
  if (data_reader == nullptr) return kRegistryRefused;
  data_reader = nullptr;
  // Destroyed in registry order, each closing its file.
  for (auto& reader : all_data_readers) reader.reset();
  all_data_readers.clear();
  SetLastStatus(KVOk, "");
  return KVOk;
}

int32_t AddRegistryReader() noexcept {
  if (data_reader == nullptr) return kRegistryRefused;
  return AppendActiveReader() == KVOk ? KVOk : kRegistryRefused;
}

int32_t CountRegistryReaders(int32_t* count) noexcept {
  if (data_reader == nullptr || count == nullptr) return kRegistryRefused;
  *count = static_cast<int32_t>(all_data_readers.size());
  SetLastStatus(KVOk, "");
  return KVOk;
}

int32_t SetActiveRegistryReader(int32_t position) noexcept {
  if (data_reader == nullptr || position < 0 ||
      static_cast<size_t>(position) >= all_data_readers.size()) {
    return kRegistryRefused;
  }
  data_reader = all_data_readers[static_cast<size_t>(position)].get();
  SetLastStatus(KVOk, "");
  return KVOk;
}

int32_t ActiveReaderVersion() noexcept {
  return data_reader != nullptr ? data_reader->KVGetVersion() : -1;
}

KVStatus CreateUnregisteredReader(KVReaderHandle* handle) noexcept {
  return RunGuarded([handle] {
    if (handle == nullptr) throw NoMemoryAllocException();
    *handle = ToHandle(new CKVDataReader());
  });
}

KVStatus DestroyUnregisteredReader(KVReaderHandle handle) noexcept {
  return CallReader(handle, [](CKVDataReader& reader) { delete &reader; });
}

}  // namespace Korvane::DataReader::Api
