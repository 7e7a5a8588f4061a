// Header entries, array axes and events: the data-header channels with their
// stored value or text, the axes of array channels, and the event list, each with
// the F functions that hand out one field of one entry.
#include <algorithm>
#include <cstring>

#include "common/DataReaderLibException.h"
#include "common/TextUtils.h"
#include "engine/CDataLoadEngine.h"
#include "events/CKVEventHelper.h"
#include "reader/CKVDataReader.h"
#include "reader/ChannelLists.h"
#include "setup/CArrayInfo.h"
#include "setup/CKVChannel.h"
#include "setup/CKVXMLHelper.h"

namespace Korvane::DataReader {
namespace {

// A text output: at least one byte for the terminator.
void RequireText(const char* text, int32_t maxLength) {
  if (text == nullptr || maxLength <= 0) throw NoMemoryAllocException();
}

const CArrayInfo& AxisOf(const CKVChannel& channel, int32_t axis) {
  if (axis < 0 || static_cast<size_t>(axis) >= channel.ArrayInfo.size()) throw InvalidIndexException();
  return channel.ArrayInfo[static_cast<size_t>(axis)];
}

void RequirePosition(const CArrayInfo& axis, int32_t position) {
  if (position < 0 || position >= axis.Size) throw InvalidIndexException();
}

}  // namespace

// --- Header entries -----------------------------------------------------------

int32_t CKVDataReader::KVGetHeaderEntryCount() const { return CountList(*setup_, InHeaderEntryList); }

void CKVDataReader::KVGetHeaderEntryList(KVChannel* entries) const {
  if (entries == nullptr) throw NoMemoryAllocException();
  FillList(*setup_, InHeaderEntryList, entries);
}

void CKVDataReader::KVGetHeaderEntryListItem(int32_t position, int32_t* index, char* name, char* unit,
                                             char* description, uint32_t* color, int32_t* arraySize,
                                             int32_t maxLength) const {
  ListItem(*setup_, InHeaderEntryList, position, index, name, unit, description, color, arraySize, maxLength);
}

void CKVDataReader::KVGetHeaderEntryText(int32_t index, char* text, int32_t maxLength) const {
  RequireText(text, maxLength);
  engine_->GetHeaderEntryText(&ChannelAt(index), text, maxLength);
}

void CKVDataReader::KVGetHeaderEntryTextF(int32_t position, char* text, int32_t maxLength) const {
  RequireText(text, maxLength);
  engine_->GetHeaderEntryText(&ListEntry(*setup_, InHeaderEntryList, position), text, maxLength);
}

void CKVDataReader::KVGetHeaderEntryNameF(int32_t position, char* text, int32_t maxLength) const {
  RequireText(text, maxLength);
  KVChannel record;
  ListEntry(*setup_, InHeaderEntryList, position).GetChannelInfo(&record);
  CopyStr(text, record.name, maxLength);
}

void CKVDataReader::KVGetHeaderEntryIDF(int32_t position, char* text, int32_t maxLength) const {
  RequireText(text, maxLength);
  CopyStr(text, ListEntry(*setup_, InHeaderEntryList, position).LogicalName.c_str(), maxLength);
}

// --- Array axes ---------------------------------------------------------------

int32_t CKVDataReader::KVGetArrayInfoCount(int32_t index) const {
  return static_cast<int32_t>(ChannelAt(index).ArrayInfo.size());
}

void CKVDataReader::KVGetArrayInfoList(int32_t index, KVArrayInfo* infos) const {
  if (infos == nullptr) throw NoMemoryAllocException();
  for (const CArrayInfo& axis : ChannelAt(index).ArrayInfo) axis.getArrayInfo(infos++);
}

void CKVDataReader::KVGetArrayIndexValue(int32_t index, int32_t axis, int32_t position, char* text,
                                         int32_t maxLength) const {
  RequireText(text, maxLength);
  const CArrayInfo& info = AxisOf(ChannelAt(index), axis);
  RequirePosition(info, position);
  info.getIndexValue(position, text, maxLength);
}

void CKVDataReader::KVGetArrayIndexValueF(int32_t index, int32_t axis, int32_t position, double* value) const {
  if (value == nullptr) throw NoMemoryAllocException();
  const CArrayInfo& info = AxisOf(ChannelAt(index), axis);
  RequirePosition(info, position);
  info.getIndexValue(position, *value);
}

// --- Events -------------------------------------------------------------------

int32_t CKVDataReader::KVGetEventListCount() const { return events_->GetEventListCnt(); }

void CKVDataReader::KVGetEventList(KVEvent* events) const {
  if (events == nullptr) throw NoMemoryAllocException();
  events_->GetEventList(events);
}

void CKVDataReader::KVGetEventListItem(int32_t position, int32_t* type, double* time, char* text,
                                       int32_t maxLength) const {
  if (type == nullptr || time == nullptr) throw NoMemoryAllocException();
  RequireText(text, maxLength);
  KVEvent event;
  events_->GetEventListItem(position, &event);
  *type = event.event_type;
  *time = event.time_stamp;
  CopyStr(text, event.event_text, maxLength);
}

double CKVDataReader::KVGetEventTimeF(int32_t position) const {
  KVEvent event;
  events_->GetEventListItem(position, &event);
  return event.time_stamp;
}

void CKVDataReader::KVGetEventTextF(int32_t position, char* text, int32_t maxLength) const {
  RequireText(text, maxLength);
  KVEvent event;
  events_->GetEventListItem(position, &event);
  CopyStr(text, event.event_text, maxLength);
}

int32_t CKVDataReader::KVGetEventTypeF(int32_t position) const {
  KVEvent event;
  events_->GetEventListItem(position, &event);
  return event.event_type;
}

}  // namespace Korvane::DataReader
