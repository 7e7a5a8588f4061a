// The reader's life cycle: construction, the open and close sequences and the
// file-level queries.
#include "reader/CKVDataReader.h"

#include <array>
#include <clocale>
#include <cstring>
#include <string>

#include "common/DataReaderLibException.h"
#include "common/TextUtils.h"
#include "engine/CDataLoadEngine.h"
#include "events/CKVEventHelper.h"
#include "multistream/CMultiStream.h"
#include "multistream/CZipStream.h"
#include "setup/CKVXMLHelper.h"

namespace Korvane::DataReader {
namespace {

// Stream codes, most specific first.
constexpr std::array<const char*, 4> kSetupStreamCodes = {"SETUP___", "SETUP__", "SETUP_", "SETUP"};
constexpr std::array<const char*, 3> kEventStreamCodes = {"EVENTS__", "EVENTS_", "EVENTS"};
constexpr const char* kMeasInfoStreamCode = "MEASINFO";
// Files written before this version store event texts as 8-bit characters.
constexpr int32_t kFirstWideEventTextVersion = 7100;

template <size_t N>
MultiStream::CBaseStream* FirstStream(MultiStream::CStreamContainer& container,
                                      const std::array<const char*, N>& codes) {
  for (const char* code : codes) {
    if (MultiStream::CBaseStream* stream = container.StreamByCode(code)) return stream;
  }
  return nullptr;
}

bool IsZipPackaged(const char* fileName) {
  const std::array<char, 5> extension = GetFileExtension(fileName);
  return std::strcmp(extension.data(), ".K7Z") == 0 || std::strcmp(extension.data(), ".KXZ") == 0;
}

// Readers format numbers with a point, so creating one puts the process in the "C"
// locale. setlocale is unsafe while another thread uses the locale; leaving a locale
// that is "C" already untouched makes creating readers on several threads safe once
// the first reader has been created.
void UseTheCLocale() {
  const char* current = std::setlocale(LC_ALL, nullptr);
  if (current == nullptr || std::strcmp(current, "C") != 0) std::setlocale(LC_ALL, "C");
}

DataReaderLibException NoFileOpen() { return DataReaderLibException(KVError, "No file is open"); }

}  // namespace

CKVDataReader::CKVDataReader()
    : setup_(std::make_unique<CKVXMLHelper>()),
      events_(std::make_unique<Events::CKVEventHelper>()),
      engine_(std::make_unique<CDataLoadEngine>(setup_.get(), events_.get())) {
  UseTheCLocale();
}

CKVDataReader::~CKVDataReader() { ClearDataFile(); }

int32_t CKVDataReader::KVGetVersion() const noexcept {
  return kVersionMajor * 1000000 + kVersionMinor * 1000 + kVersionPatch;
}

void CKVDataReader::KVOpenDataFile(const char* fileName, KVFileInfo* info) {
  if (fileName == nullptr || info == nullptr) throw NoMemoryAllocException();
  if (fileOpen_) throw FileAlreadyInUseException();
  try {
    if (IsZipPackaged(fileName)) {
      container_ = std::make_unique<MultiStream::CZipStream>();
    } else {
      container_ = std::make_unique<MultiStream::CMultiStream>();
    }
    engine_->SetContainer(container_.get());
    container_->OpenFile(fileName);

    MultiStream::CBaseStream* setupStream = GetSetupXMLStream();
    // Without a setup document nothing in the file can be interpreted.
    if (setupStream == nullptr) throw FileCorruptException("no setup stream");
    const int32_t version = container_->GetFileVersionInt();
    setup_->OpenAndParseFile(setupStream, container_->StreamByCode(kMeasInfoStreamCode), version);

    events_->SetOldFormat(version < kFirstWideEventTextVersion);
    if (MultiStream::CBaseStream* eventStream = FirstStream(*container_, kEventStreamCodes)) {
      events_->ReadFromStream(eventStream);
    }
    events_->SetBlockSize(setup_->GetBlockSize());
    events_->SetSampleRate(setup_->GetSampleRate());
    std::array<int32_t, Events::kReducedLevelCount> rates{};
    for (int level = 0; level < Events::kReducedLevelCount; ++level) {
      rates[level] = static_cast<int32_t>(setup_->GetIBRates()[level]);
    }
    events_->SetIBRates(rates);
    events_->Initiate();
    engine_->Initiate();
    events_->SetStartStoreOffset(engine_->GetOffsetStartStoreTimeUTC());

    info->sample_rate = setup_->GetSampleRate();
    info->start_store_time = engine_->GetStartStoreTimeUTC();
    info->duration = engine_->GetDuration();
  } catch (...) {
    ClearDataFile();
    throw;
  }
  fileOpen_ = true;
  multiFileIndex_ = setup_->GetMeasIndex();
  channelList_.Build(*setup_);
}

void CKVDataReader::KVCloseDataFile() {
  if (!fileOpen_) throw NoFileOpen();
  ClearDataFile();
}

// The engine lets go of its index managers and stream adapters before the
// container that owns the streams closes.
void CKVDataReader::ClearDataFile() noexcept {
  fileOpen_ = false;
  channelList_.Clear();
  setup_->CloseFile();
  engine_->Clear();
  engine_->SetContainer(nullptr);
  if (container_) {
    container_->CloseFile();
    container_.reset();
  }
  events_->Clear();
}

MultiStream::CBaseStream* CKVDataReader::GetSetupXMLStream() const {
  return container_ ? FirstStream(*container_, kSetupStreamCodes) : nullptr;
}

MultiStream::CStreamContainer& CKVDataReader::OpenContainer() const {
  if (!fileOpen_ || !container_) throw NoFileOpen();
  return *container_;
}

void CKVDataReader::KVGetMeasurementInfo(KVMeasurementInfo* info) {
  if (!fileOpen_) throw NoFileOpen();
  if (info == nullptr) throw NoMemoryAllocException();
  info->sample_rate = setup_->GetSampleRate();
  info->start_measure_time = engine_->GetStartMeasureTimeUTC();
  info->start_store_time = engine_->GetStartStoreTimeUTC();
  info->duration = engine_->GetDuration();
}

int32_t CKVDataReader::KVGetStoringType() const noexcept { return setup_->GetDataStoreMode(); }

void CKVDataReader::KVExportHeader(const char* fileName) {
  OpenContainer();
  if (fileName == nullptr) throw NoMemoryAllocException();
  MultiStream::CBaseStream* setupStream = GetSetupXMLStream();
  if (setupStream == nullptr) throw FileCorruptException("no setup stream");
  if (!setupStream->WriteToFile(fileName)) throw CreateDestFileException();
}

void CKVDataReader::KVGetStream(const char* streamName, void* buffer, int32_t* size) {
  MultiStream::CStreamContainer& container = OpenContainer();
  if (streamName == nullptr || size == nullptr) throw NoMemoryAllocException();
  MultiStream::CBaseStream* stream = container.StreamByCode(streamName);
  if (stream == nullptr) throw DataReaderLibException(KVError, "Virutal stream does not exist");
  const int64_t length = stream->Size();
  // The size travels as an int32: a stream that cannot be described is refused.
  if (length < 0 || length >= INT32_MAX) throw NoMemoryAllocException("stream too large");
  const auto needed = static_cast<int32_t>(length + 1);
  if (buffer == nullptr) {
    *size = needed;
    return;
  }
  if (*size < needed) throw NoMemoryAllocException();
  *size = needed;
  auto* bytes = static_cast<uint8_t*>(buffer);
  stream->Seek(0, MultiStream::kSeekBegin);
  if (length > 0 && stream->ReadBytes(bytes, static_cast<int32_t>(length)) != length) {
    throw FileCorruptException("stream shorter than its size");
  }
  bytes[length] = 0;
}

}  // namespace Korvane::DataReader
