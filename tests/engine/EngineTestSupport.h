// Shared by the engine tests: a recording written by the test kit, opened with the
// container it names, its setup interpreted and its events read the way the reader
// does it, and an engine initiated over them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/CDataLoadEngine.h"
#include "events/CKVEventHelper.h"
#include "multistream/CMultiStream.h"
#include "multistream/CZipStream.h"
#include "setup/CKVXMLHelper.h"
#include "testkit/RecordingWriter.h"
#include "testkit/SetupBuilder.h"
#include "testkit/TempDir.h"

namespace Korvane::DataReader::EngineTest {

// Block layout of the test recordings: 100 samples per block at 1000 per second.
inline constexpr int kBlockSize = 100;
inline constexpr double kSampleRate = 1000;
// A block of "DBDATA" holds one double channel at offset 0 and an int16 one after it.
inline constexpr int kBlockBytes = kBlockSize * 8 + kBlockSize * 2;
// A reduced record holds one double item (4 x 8 bytes) per level.
inline constexpr int kRecordBytes = 32;

// A setup with the test layout and an analogue double channel "AI;0" in the
// shared streams (reduced items at offset 0 of every level).
inline TestKit::SetupBuilder& BaseSetup(TestKit::SetupBuilder& setup, int startingLevel = 0) {
  setup.Property("SampleRate", kSampleRate).Property("BlockSize", kBlockSize).Property("IBRate", 20);
  setup.Property("StartStoreTime", 45000.5).Property("StartingIBLevel", startingLevel);
  setup.MeasurementOnlineInfo(kBlockBytes, std::vector<int>(6, kRecordBytes));
  setup.AddChannel("AI;0", "Voltage", 7).With(TestKit::OnlineInfoRecord(0, std::vector<int>(6, 0)));
  return setup;
}

// One opened recording with its engine.
class OpenedRecording {
 public:
  // `container`, when given, opens the file instead of the one its packaging names.
  OpenedRecording(const TestKit::Recording& recording, bool initiate = true,
                  std::unique_ptr<MultiStream::CStreamContainer> container = nullptr) {
    const std::string path = dir_.File(recording.zipPackaged ? "recording.KXZ" : "recording.kvd");
    TestKit::WriteRecording(path, recording);
    if (container) {
      container_ = std::move(container);
    } else if (recording.zipPackaged) {
      container_ = std::make_unique<MultiStream::CZipStream>();
    } else {
      container_ = std::make_unique<MultiStream::CMultiStream>();
    }
    container_->OpenFile(path.c_str());
    const int version = container_->GetFileVersionInt();
    setup_.OpenAndParseFile(container_->StreamByCode("SETUP___"), container_->StreamByCode("MEASINFO"), version);
    events_.SetOldFormat(version < 7100);
    events_.ReadFromStream(container_->StreamByCode("EVENTS__"));
    events_.SetBlockSize(setup_.GetBlockSize());
    events_.SetSampleRate(setup_.GetSampleRate());
    std::array<int32_t, Events::kReducedLevelCount> rates{};
    for (int i = 0; i < Events::kReducedLevelCount; ++i) rates[i] = static_cast<int32_t>(setup_.GetIBRates()[i]);
    events_.SetIBRates(rates);
    engine_.SetContainer(container_.get());
    if (initiate) engine_.Initiate();
  }

  ~OpenedRecording() {
    engine_.Clear();
    setup_.CloseFile();
    container_->CloseFile();
  }

  CDataLoadEngine& engine() { return engine_; }
  MultiStream::CStreamContainer& container() { return *container_; }
  CKVXMLHelper& setup() { return setup_; }
  Events::CKVEventHelper& events() { return events_; }

  const CKVChannel& Channel(const std::string& index) {
    CKVChannel* channel = setup_.FindChannelByKVIndex(index.c_str());
    if (channel == nullptr) throw std::runtime_error("no channel " + index);
    return *channel;
  }

  // (type, block, offset, text) of every event in list order.
  struct EventView {
    int type;
    int block;
    int offset;
    std::string text;
    bool operator==(const EventView&) const = default;
  };
  std::vector<EventView> EventList() const {
    std::vector<EventView> list;
    for (const auto& event : events_.Events()) {
      list.push_back({event->type(), event->position().block, event->position().offset, event->text()});
    }
    return list;
  }

 private:
  TestKit::TempDir dir_;
  std::unique_ptr<MultiStream::CStreamContainer> container_;
  CKVXMLHelper setup_;
  Events::CKVEventHelper events_;
  CDataLoadEngine engine_{&setup_, &events_};
};

// `blocks` data blocks of zeros.
inline std::vector<uint8_t> DataBlocks(int blocks) {
  return std::vector<uint8_t>(static_cast<size_t>(blocks) * kBlockBytes, 0);
}

}  // namespace Korvane::DataReader::EngineTest
