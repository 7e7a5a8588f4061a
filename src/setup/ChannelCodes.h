// The data type codes of the stored channel description with the byte size of
// one stored sample, and the codes of the channel groups (whose names field 1 of
// a channel index carries, see ChannelGroups.h). Part of the file format; they
// never change.
#pragma once

#include <array>
#include <cstdint>

namespace Korvane::DataReader {

// Data type codes of the setup's "DataType" element. Every stored value is
// little-endian.
enum KVDataTypeCode : int {
  kTypeUInt8 = 0,
  kTypeInt8 = 1,
  kTypeInt16 = 2,
  kTypeUInt16 = 3,
  kTypeInt32 = 4,
  kTypeFloat = 5,
  kTypeInt64 = 6,
  kTypeDouble = 7,
  kTypeUInt32 = 8,
  kTypeComplexFloat = 9,    // two floats, real part first
  kTypeComplexDouble = 10,  // two doubles, real part first
  kTypeText = 11,
  kTypeBinary = 12,         // 64-bit payload position, 64-bit payload size
  kTypeCANRecord = 13,
  kTypeCANRecordLong = 14,
  kTypeCAN8 = 15,           // CAN message payload of up to 8 bytes
  kTypeCAN16 = 16,
  kTypeCAN32 = 17,
  kTypeCAN64 = 18,
};

inline constexpr int kDataTypeCount = 19;

// Bytes of one stored sample, by data type code.
inline constexpr std::array<int, kDataTypeCount> DataTypeSizeArr = {
    1, 1, 2, 2, 4, 4, 8, 8, 4, 8, 16, 4, 16, 12, 72, 8, 16, 32, 64};

// The largest stored sample (the long CAN record).
inline constexpr int kLargestSampleBytes = 72;

inline constexpr bool IsValidDataType(int code) noexcept { return code >= 0 && code < kDataTypeCount; }

// Channel group codes (field 1 of a channel index).
enum KVChannelGroup : int {
  kGroupNone = 0,
  kGroupAI = 1,
  kGroupDI = 100,
  kGroupCNT = 200,
  kGroupDAQOut = 300,
  kGroupPAD = 1000,
  kGroupCAN = 2000,
  kGroupMathOld = 3000,
  kGroupGPS = 4000,
  kGroupControl = 5000,
  kGroupPower = 6000,
  kGroupMath = 7000,
  kGroupPlugins = 100000,
  kGroupCOM = 101000,
  kGroupRemote = 102000,
  kGroupAO = 200000,
  kGroupNumeric500000 = 500000,
  kGroupVariables = 600000,
  kGroupVideo = 700000,
  kGroupImport = 800000,
  kGroupVCInfo = 900000,
  kGroupSystemMonitor = 1000000,
  kGroupEventLog = 1200000,
  kGroupRT = 1400000,
  kGroupLumaq = 1500000,
};

}  // namespace Korvane::DataReader
