// CKVChannel: identity, kinds, sizes, scaling and the once-only derivation of a
// channel's group, list membership and decoding after the setup filled it. The
// decoding of stored samples lives in CKVChannelDecode.cpp.
#include "setup/CKVChannel.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <cstring>

#include "common/TextUtils.h"
#include "setup/ChannelGroups.h"
#include "setup/KVIndex.h"

namespace Korvane::DataReader {

namespace {

// Field `position` of an index text of any length.
std::string IndexField(const char* text, int position) {
  std::string field(std::strlen(text) + 1, '\0');
  GetKVIndexAtPos(text, position, field.data(), field.size());
  field.resize(std::strlen(field.c_str()));
  return field;
}

// The CAN message-count channels: field 3 names this pseudo message.
constexpr const char* kMessageCountId = "1610612736";

// A text channel's sample holds this many characters.
constexpr int kTextArraySize = 256;

}  // namespace

CKVChannel::CKVChannel() = default;
CKVChannel::~CKVChannel() = default;

void CKVChannel::SetKVIndex(const char* text) { ConvertToKVIndex(text, KVIndex, sizeof KVIndex); }

int CKVChannel::GetChGroup(const char* indexText) {
  return ChannelGroupCode(IndexField(indexText != nullptr ? indexText : "", 1));
}

void CKVChannel::GetChannelInfo(KVChannel* out) const {
  out->index = ChannelNumber;
  CopyStr(out->name, Name, sizeof out->name);
  CopyStr(out->unit, Unit, sizeof out->unit);
  CopyStr(out->description, Description, sizeof out->description);
  out->color = DisplayColor;
  out->array_size = GetArraySize();
  out->data_type = DataType;
}

int CKVChannel::GetOffline() const noexcept { return OfflineInfo ? OfflineInfo->Status : 0; }

int CKVChannel::GetAsyncIndex() const noexcept {
  if (OfflineInfo) return OfflineInfo->AsyncIndex;
  if (OnlineInfo) return OnlineInfo->AsyncIndex;
  return -1;
}

int CKVChannel::GetSampleBytes() const noexcept {
  return IsValidDataType(DataType) ? DataTypeSizeArr[static_cast<size_t>(DataType)] : 0;
}

int CKVChannel::GetDataTypeSize() const noexcept {
  if (ChannelGroup == kGroupCAN) return SignalBitLength;
  if (BitCount != 0) return BitCount;
  return GetSampleBytes() * 8;
}

bool CKVChannel::IsDoublePrecision() const noexcept {
  // More than 20 significant bits do not survive the float statistics records.
  constexpr int kFloatSafeBits = 20;
  if (ForceSinglePrecision) return false;
  if (SigBitCount > 0) return SigBitCount > kFloatSafeBits;
  if (GetDataTypeSize() <= kFloatSafeBits) return false;
  return DataType != kTypeFloat && DataType != kTypeComplexFloat;
}

int CKVChannel::GetArraySize() const noexcept {
  if (DataType == kTypeText) return kTextArraySize;
  if (ArrayInfo.empty()) return 1;
  // Axis sizes are checked when the setup is read, so the product fits.
  int64_t product = 1;
  for (const CArrayInfo& axis : ArrayInfo) product *= axis.Size;
  return product == 0 ? 1 : static_cast<int>(product);
}

bool CKVChannel::IsCANMsg() const noexcept {
  if (ChannelGroup == kGroupCAN) return IndexLevel < 5;
  if (ChannelGroup == kGroupRT) return DataType == kTypeCANRecord || DataType == kTypeCANRecordLong;
  return false;
}

bool CKVChannel::IsCANMessageCountChannels() const {
  if (ChannelGroup != kGroupCAN || IndexLevel != 5) return false;
  if (IndexField(KVIndex, 3) != kMessageCountId) return false;
  const std::string field4 = IndexField(KVIndex, 4);
  return field4 == "0" || field4 == "1";
}

bool CKVChannel::IsDataHeader() const {
  return ChannelGroup == kGroupVariables && IndexLevel > 2 && SingleValue && IndexField(KVIndex, 2) == "1";
}

double CKVChannel::GetAIRange() const noexcept {
  if (Range != 0) return static_cast<double>(Range);
  return std::pow(2.0, BitsLog);
}

double CKVChannel::GetScaledValue(double x) const noexcept {
  switch (ChannelGroup) {
    case kGroupAI:
      return x * AIScale + AIOffset;
    case kGroupDI:
      return x;
    case kGroupCNT:
      return x * CNTScale + CNTOffset;
    case kGroupRemote:
      return x * RealScale + RealOffset;
    default:
      return x * Scale + Offset;
  }
}

void CKVChannel::GetScaling(double& factor, double& summand) const noexcept {
  switch (ChannelGroup) {
    case kGroupAI:
      factor = AIScale, summand = AIOffset;
      return;
    case kGroupDI:
      factor = 1, summand = 0;
      return;
    case kGroupCNT:
      factor = CNTScale, summand = CNTOffset;
      return;
    case kGroupRemote:
      factor = RealScale, summand = RealOffset;
      return;
    default:
      factor = Scale, summand = Offset;
  }
}

void CKVChannel::GetFactors(double& scale, double& offset) const noexcept {
  offset = GetScaledValue(0);
  scale = GetScaledValue(1) - offset;
}

double CKVChannel::GetValueRMS(double x) const noexcept { return HasOrigScale ? x / OrigScale * Scale : x; }

int CKVChannel::getIBItemChSize() const noexcept {
  if (ArrayInfo.empty()) return 1;
  return ItemChannels ? GetArraySize() : 0;
}

int CKVChannel::getIBArrayChSize() const noexcept {
  if (ArrayInfo.size() != 1 || !StoreIB) return 0;
  const double n = GetArraySize();
  // MaxIBArraySize is checked to be positive when the setup is read.
  if (MaxIBArraySize <= 0) return static_cast<int>(n);
  const double parts = std::ceil(n / MaxIBArraySize);
  return static_cast<int>(std::ceil(n / parts));
}

int CKVChannel::GetIBRecSize(int level) const noexcept {
  // Statistics per item: min, max, average and RMS (with the complex parts when
  // the channel keeps complex buffers), as doubles or floats; an asynchronous
  // channel's first stored level adds its time stamps, every level above the
  // first its carried-over sums.
  if (level < StoredFirstAsyncIBLevel) return 0;
  const bool complexIB = IsComplex() && Async && ComplexIBBuffers;
  const int64_t item = getIBItemChSize();
  const bool doublePrecision = IsDoublePrecision();
  int64_t size = 0;
  if (!getOnlyIBTimeStamp()) {
    size = item * (doublePrecision ? (complexIB ? 96 : 32) : (complexIB ? 48 : 16));
    size += static_cast<int64_t>(getIBArrayChSize()) * 8;
  }
  if (Async && level == getFirstOrigIBLevel()) size += 24;
  if (level >= getUpperIBLevel() && !getOnlyIBTimeStamp()) {
    if (doublePrecision) {
      size += complexIB ? item * 64 : 32;
    } else {
      size += complexIB ? item * 32 : 16;
    }
  }
  // Item counts come from the file: a record beyond int cannot be stored.
  return static_cast<int>(std::min<int64_t>(size, std::numeric_limits<int>::max()));
}

void CKVChannel::CANCalcPositions() noexcept {
  const int n = BitLength;
  if (n <= 0) return;
  StartByte = StartBit / 8;
  StartBitInByte = StartBit % 8;
  // Motorola order runs toward lower byte numbers. Bit lengths and positions come
  // from the file: the sums are taken in 64 bits, and an end byte outside int
  // (which no payload holds) is held at its limit for the decoder to refuse.
  const int64_t bits = n;
  const int64_t end = DataDirection == 1 ? StartByte - (bits + StartBitInByte - 1) / 8 : (StartBit + bits - 1) / 8;
  EndByte = static_cast<int>(
      std::clamp<int64_t>(end, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
  SignalBitLength = n;
  ByteCount = n / 8 + (n % 8 > 0 ? 1 : 0);
}

void CKVChannel::Initiate() {
  IndexLevel = GetKVIndexLevel(KVIndex);
  ChannelGroup = IsRemote ? kGroupRemote : GetChGroup(KVIndex);

  ListedAsText = Shown && DataType == kTypeText;
  ListedAsBinary = Shown && DataType == kTypeBinary;
  Listed = Shown && DataType != kTypeText && DataType != kTypeBinary;

  const bool asynchronous = Async || AsyncDivider;
  Async = asynchronous;
  if (!asynchronous) StoredFirstAsyncIBLevel = 0;

  switch (ChannelGroup) {
    case kGroupAI:
      if (DataType == kTypeFloat && UseCustomScaleForSingleValues) {
        AIScale = Scale;
        AIOffset = Offset;
      } else {
        // Raw values span the input range onto +-10 V before the amplifier.
        AIScale = 10.0 / GetAIRange() * AmplScale * Scale;
        AIOffset = -AmplOffset * Scale + Offset;
      }
      break;
    case kGroupDI:
      // A bit channel (index level 4 and more) is decoded out of its port's
      // samples and listed; the port itself is not.
      DecodedFromParent = !IsDIPort();
      Listed = DecodedFromParent;
      break;
    case kGroupCNT:
      CNTScale = SecondScale * Scale;
      CNTOffset = Offset;
      break;
    case kGroupCAN: {
      const bool message = IsCANMsg();
      Listed = message ? IsPortChannel : true;
      if (message || MultiplexType == 2) {
        DecodedFromParent = false;
      } else if (IsCANMessageCountChannels()) {
        DecodedFromParent = !IsCANDecoded();
      } else {
        DecodedFromParent = true;
      }
      OnlyIBTimeStamp = message;
      if (IsPortChannel) {
        if (DataType != kTypeCANRecordLong) DataType = kTypeCANRecord;
      } else if (message) {
        if (DLC <= 8) {
          DataType = kTypeCAN8;
        } else if (DLC <= 16) {
          DataType = kTypeCAN16;
        } else if (DLC <= 32) {
          DataType = kTypeCAN32;
        } else {
          DataType = kTypeCAN64;
        }
      } else {
        if (MultiplexType != 2) DataType = IsCANDecoded() ? kTypeDouble : CANDataType;
        CANCalcPositions();
      }
      break;
    }
    case kGroupMath:
    case kGroupVideo:
      if (MathModuleOffline == 1) Listed = false;
      break;
    case kGroupVariables:
      BitCount = 0;
      break;
    case kGroupRT:
      OnlyIBTimeStamp = IsCANMsg();
      break;
    default:
      break;
  }
  initiateLongName();
}

void CKVChannel::initiateLongName() {
  LongName.clear();
  if (!ModuleName.empty()) LongName.append(ModuleName).append("/");
  if (!DeviceName.empty()) LongName.append(DeviceName).append("/");
  LongName.append(Name);
  if (LongName.size() > kLongNameChars) LongName.resize(kLongNameChars);
}

int CKVChannel::StoredSampleBytes() const noexcept {
  if (DecodedFromParent && ParentChannel != nullptr) return ParentChannel->GetSampleBytes();
  return GetSampleBytes();
}

}  // namespace Korvane::DataReader
