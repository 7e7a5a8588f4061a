// EventStreamWriter: writes the byte image of an event stream ("EVENTS__"), every
// stream version, record version and block the stored format knows, including the
// damage a test needs (junk before markers, a missing terminator).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Korvane::DataReader::TestKit {

// Trigger information block content; values go into its compact index list.
struct TriggerInfo {
  std::vector<uint32_t> indexList;  // up to 255 values; 7 or fewer small ones take the short form
  bool forceLongForm = false;
};

struct EventRecord {
  int32_t type = 1;
  int32_t recordVersion = 4;
  int32_t block = 0;
  int32_t offset = 0;
  std::string text;                  // stored from record version 2
  std::vector<int32_t> levelOffsets; // stored from record version 3
  int32_t secondCode = 0;            // stored from record version 4
  // Trigger-type events (1, 2, 3, 11) from record version 5 (6 for stops): an
  // empty block (flag 0) unless given.
  bool hasTriggerInfo = false;
  TriggerInfo triggerInfo;
  std::string blockText;             // notice, module and alarm texts
  uint8_t alarmByte = 0;
  int32_t voiceLength = 0;           // bytes of voice data
  size_t junkBeforeRecord = 0;       // junk bytes before the record's start marker
};

class EventStreamWriter {
 public:
  // Texts are 8-bit in files older than version 7100 (oldFormat), UTF-16 otherwise.
  EventStreamWriter(int32_t streamVersion, bool oldFormat)
      : streamVersion_(streamVersion), oldFormat_(oldFormat) {}

  EventStreamWriter& Add(const EventRecord& record);
  EventStreamWriter& AddStart(int32_t block, int32_t offset, std::vector<int32_t> levelOffsets = {});
  EventStreamWriter& AddStop(int32_t block, int32_t offset);

  // The stream: version 1 with the count of events; later versions with the -1
  // terminator unless `terminate` is false.
  std::vector<uint8_t> Finish(bool terminate = true) const;

  // The record of one event alone (type code not included), for hand-made streams.
  std::vector<uint8_t> RecordBytes(const EventRecord& record) const;

 private:
  int32_t streamVersion_;
  bool oldFormat_;
  std::vector<EventRecord> records_;
};

}  // namespace Korvane::DataReader::TestKit
