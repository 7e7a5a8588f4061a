// The records' sizes and field offsets are the interface: hosts in other languages
// declare them by hand.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "KVDataReaderLib.h"

namespace {

#define EXPECT_FIELD(Record, field, offset) EXPECT_EQ(offsetof(Record, field), size_t{offset}) << #field

TEST(RecordLayout, FileAndMeasurementInfo) {
  EXPECT_EQ(sizeof(KVFileInfo), 24u);
  EXPECT_FIELD(KVFileInfo, sample_rate, 0);
  EXPECT_FIELD(KVFileInfo, start_store_time, 8);
  EXPECT_FIELD(KVFileInfo, duration, 16);
  EXPECT_EQ(sizeof(KVMeasurementInfo), 32u);
  EXPECT_FIELD(KVMeasurementInfo, sample_rate, 0);
  EXPECT_FIELD(KVMeasurementInfo, start_measure_time, 8);
  EXPECT_FIELD(KVMeasurementInfo, start_store_time, 16);
  EXPECT_FIELD(KVMeasurementInfo, duration, 24);
}

TEST(RecordLayout, Channel) {
  EXPECT_EQ(sizeof(KVChannel), 336u);
  EXPECT_FIELD(KVChannel, index, 0);
  EXPECT_FIELD(KVChannel, name, 4);
  EXPECT_FIELD(KVChannel, unit, 104);
  EXPECT_FIELD(KVChannel, description, 124);
  EXPECT_FIELD(KVChannel, color, 324);
  EXPECT_FIELD(KVChannel, array_size, 328);
  EXPECT_FIELD(KVChannel, data_type, 332);
  EXPECT_EQ(sizeof(KVChannel::name), 100u);
  EXPECT_EQ(sizeof(KVChannel::unit), 20u);
  EXPECT_EQ(sizeof(KVChannel::description), 200u);
}

TEST(RecordLayout, EventIsPacked) {
  EXPECT_EQ(sizeof(KVEvent), 212u);
  EXPECT_FIELD(KVEvent, event_type, 0);
  EXPECT_FIELD(KVEvent, time_stamp, 4);
  EXPECT_FIELD(KVEvent, event_text, 12);
  // Consecutive events in an array are 212 bytes apart.
  KVEvent events[2];
  EXPECT_EQ(reinterpret_cast<char*>(&events[1]) - reinterpret_cast<char*>(&events[0]), 212);
}

TEST(RecordLayout, ReducedValueArrayAxisBinarySampleComplex) {
  EXPECT_EQ(sizeof(KVReducedValue), 40u);
  EXPECT_FIELD(KVReducedValue, time_stamp, 0);
  EXPECT_FIELD(KVReducedValue, ave, 8);
  EXPECT_FIELD(KVReducedValue, min, 16);
  EXPECT_FIELD(KVReducedValue, max, 24);
  EXPECT_FIELD(KVReducedValue, rms, 32);

  EXPECT_EQ(sizeof(KVArrayInfo), 128u);
  EXPECT_FIELD(KVArrayInfo, index, 0);
  EXPECT_FIELD(KVArrayInfo, name, 4);
  EXPECT_FIELD(KVArrayInfo, unit, 104);
  EXPECT_FIELD(KVArrayInfo, size, 124);

  EXPECT_EQ(sizeof(KVBinarySample), 16u);
  EXPECT_FIELD(KVBinarySample, position, 0);
  EXPECT_FIELD(KVBinarySample, size, 8);

  EXPECT_EQ(sizeof(KVComplex), 16u);
  EXPECT_FIELD(KVComplex, re, 0);
  EXPECT_FIELD(KVComplex, im, 8);
}

TEST(RecordLayout, CustomPropertyEntriesAre220BytesApart) {
  EXPECT_EQ(sizeof(KVCustomProperty), 220u);
  EXPECT_FIELD(KVCustomProperty, name, 0);
  EXPECT_FIELD(KVCustomProperty, value_type, 100);
  EXPECT_FIELD(KVCustomProperty, int_value, 104);
  EXPECT_FIELD(KVCustomProperty, float_value, 112);
  EXPECT_FIELD(KVCustomProperty, string_value, 120);
  KVCustomProperty entries[2];
  EXPECT_EQ(reinterpret_cast<char*>(&entries[1]) - reinterpret_cast<char*>(&entries[0]), 220);
}

TEST(RecordLayout, SelectorAndStatusValuesAreFixed) {
  EXPECT_EQ(KVChDataType, 0);
  EXPECT_EQ(KVChIndexString, 2);
  EXPECT_EQ(KVChSetupXml, 7);
  EXPECT_EQ(KVChCustomProps, 11);
  EXPECT_EQ(KVChLongNameLength, 14);
  EXPECT_EQ(KVChannelSynchronous, 0);
  EXPECT_EQ(KVChannelAsynchronous, 1);
  EXPECT_EQ(KVChannelSingleValue, 2);
  EXPECT_EQ(KVReducedRecords, -1);
  EXPECT_EQ(KVReducedMaximum, 0);
  EXPECT_EQ(KVReducedAll, 4);
  EXPECT_EQ(KVFileCorrupt, 4);
  EXPECT_EQ(KVInvalidReaderHandle, 11);
  EXPECT_EQ(KVBufferTooSmall, 13);
  EXPECT_EQ(sizeof(KVStatus), 4u);
}

}  // namespace
