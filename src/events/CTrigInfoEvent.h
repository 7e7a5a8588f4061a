// CTrigInfoEvent: the events that may carry a trigger information block (start,
// stop, data trigger and video start). The block is read past and not kept.
#pragma once

#include "events/CEventEntry.h"

namespace Korvane::DataReader::Events {

class CTrigInfoEvent : public CEventEntry {
 public:
  using CEventEntry::CEventEntry;

  void ReadFromStream(EventRecordReader& reader) override;

  // The lowest record version that carries the trigger information block.
  virtual int32_t HasInfoStreamVersion() const noexcept { return 5; }
};

class CStartEvent : public CTrigInfoEvent {
 public:
  explicit CStartEvent(bool oldFormat) : CTrigInfoEvent(kStartEvent, oldFormat) {}
};

class CStopEvent : public CTrigInfoEvent {
 public:
  explicit CStopEvent(bool oldFormat) : CTrigInfoEvent(kStopEvent, oldFormat) {}

  int32_t HasInfoStreamVersion() const noexcept override { return 6; }
};

class CTrigEvent : public CTrigInfoEvent {
 public:
  explicit CTrigEvent(bool oldFormat) : CTrigInfoEvent(kTrigEvent, oldFormat) {}
};

class CVStartEvent : public CTrigInfoEvent {
 public:
  explicit CVStartEvent(bool oldFormat) : CTrigInfoEvent(kVStartEvent, oldFormat) {}
};

}  // namespace Korvane::DataReader::Events
