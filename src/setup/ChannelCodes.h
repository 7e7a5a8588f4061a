// The two code tables of the stored channel description: data type codes with
// the byte size of one stored sample, and the channel groups named by field 1 of
// a channel index. Both are part of the file format and never change.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

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

// One row of the group table: the name in field 1 of a current index, its code,
// and the numeric text older files wrote instead (empty when the numeric text
// stays as it is).
struct ChannelGroupEntry {
  std::string_view name;
  KVChannelGroup code;
  std::string_view numericText;
};

// Searched in this order; the first match wins.
inline constexpr std::array<ChannelGroupEntry, 24> kChannelGroupTable = {{
    {"AI", kGroupAI, "1"},
    {"DI", kGroupDI, "100"},
    {"CNT", kGroupCNT, "200"},
    {"DAQ Out", kGroupDAQOut, "300"},
    {"PAD", kGroupPAD, "1000"},
    {"CAN", kGroupCAN, "2000"},
    {"MathOld", kGroupMathOld, "3000"},
    {"GPS", kGroupGPS, "4000"},
    {"Control", kGroupControl, "5000"},
    {"Power", kGroupPower, "6000"},
    {"Math", kGroupMath, "7000"},
    {"Plugins", kGroupPlugins, "100000"},
    {"COM", kGroupCOM, "101000"},
    {"Remote", kGroupRemote, "102000"},
    {"AO", kGroupAO, "200000"},
    {"500000", kGroupNumeric500000, ""},
    {"Variables", kGroupVariables, "600000"},
    {"Video", kGroupVideo, "700000"},
    {"Import", kGroupImport, "800000"},
    {"VC Info", kGroupVCInfo, "900000"},
    {"System Monitor", kGroupSystemMonitor, "1000000"},
    {"Event log", kGroupEventLog, "1200000"},
    {"RT", kGroupRT, "1400000"},
    {"Lumaq", kGroupLumaq, "1500000"},
}};

}  // namespace Korvane::DataReader
