// CKVChannel: the description of one stored channel of a measurement, filled by
// the setup interpreter from the channel's definition and then asked by the rest
// of the library how its samples are sized, decoded and scaled and where they
// lie. The setup interpreter owns every channel; a channel owns its texts,
// custom properties, array axes and both stream records, never its parent
// channel or its binary stream.
#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "KVDataReaderLib.h"
#include "setup/CArrayInfo.h"
#include "setup/CKVCustomProp.h"
#include "setup/CKVOnlineInfo.h"
#include "setup/ChannelCodes.h"
#include "setup/ScaleType.h"

namespace Korvane::DataReader {

class XMLElement;

namespace MultiStream {
class CStream;
}

class CKVChannel {
 public:
  // Widths of the fixed text fields, terminator included.
  static constexpr int kKVIndexBytes = 32;
  static constexpr int kNameBytes = 100;
  static constexpr int kUnitBytes = 20;
  static constexpr int kDescriptionBytes = 200;
  // The longest LongName, ModuleName and DeviceName (kept as strings: only the
  // channel's own queries read them).
  static constexpr size_t kLongNameChars = 199;
  // LogicalName holds at most this many characters; it is kept as a string, as
  // no public record carries it and most channels leave it short.
  static constexpr size_t kLogicalNameChars = 999;
  static constexpr size_t kModuleNameChars = 99;
  static constexpr size_t kDeviceNameChars = 99;

  // A binary channel's stored sample: 64-bit payload position, 64-bit size.
  static constexpr int kBinaryRecordBytes = 16;

  // Every field at its initial value: unnumbered, unfilled, Scale and Offset not
  // given (+infinity).
  CKVChannel();
  virtual ~CKVChannel();

  CKVChannel(const CKVChannel&) = delete;
  CKVChannel& operator=(const CKVChannel&) = delete;

  // --- Identity and lists ---------------------------------------------------

  // Stores the index text in its current form (numeric group codes of older
  // files become group names, ConvertToKVIndex), cut to 31 characters.
  void SetKVIndex(const char* text);

  // The group code of field 1 of an index text; 0 for an unknown group.
  static int GetChGroup(const char* indexText);

  // Fills the public channel record from this channel.
  void GetChannelInfo(KVChannel* out) const;

  // The offline Status, or 0 without an offline record.
  int GetOffline() const noexcept;

  // The asynchronous index number: the offline record's when there is one, else
  // the online record's, else -1.
  int GetAsyncIndex() const noexcept;

  // --- Sizes and kinds ------------------------------------------------------

  // Bytes of one stored sample (0 for a code outside the table, which the setup
  // interpreter rejects before any channel is used).
  int GetSampleBytes() const noexcept;
  // Significant bits of one value.
  int GetDataTypeSize() const noexcept;
  // Whether reduced values of this channel are stored as doubles.
  bool IsDoublePrecision() const noexcept;
  bool IsComplex() const noexcept { return DataType == kTypeComplexFloat || DataType == kTypeComplexDouble; }
  bool IsBinary() const noexcept { return DataType == kTypeBinary; }
  bool isArrayChannel() const noexcept { return !ArrayInfo.empty(); }
  // Values per sample: 256 for text channels, else the product of the axis
  // sizes, at least 1.
  int GetArraySize() const noexcept;
  bool IsDIPort() const noexcept { return ChannelGroup == kGroupDI && IndexLevel < 4; }
  bool IsCAN() const noexcept { return ChannelGroup == kGroupCAN; }
  bool IsCANMsg() const noexcept;
  bool IsCANPortChannel() const noexcept { return IsCAN() && IsPortChannel; }
  bool IsCANDecoded() const noexcept { return IsCAN() && StoreDecoded; }
  bool IsCANMessageCountChannels() const;
  // A header entry: a single value of the variables group whose field 2 is "1".
  bool IsDataHeader() const;
  // Range of the analogue input: Range when given, else 2^BitsLog.
  double GetAIRange() const noexcept;

  // --- Values ---------------------------------------------------------------

  // One stored sample of this channel's data type as a double (0 for the text,
  // binary and CAN types).
  double GetValueToDouble(const void* sample) const noexcept;
  // The same truncated toward zero, saturated to the integer's range (NaN gives 0).
  int64_t GetValueToInt64(const void* sample) const noexcept;
  char GetValueToChar(const void* sample) const noexcept;

  // The physical value of raw value x, by channel group.
  double GetScaledValue(double x) const noexcept;
  // The linear scaling as its two coefficients.
  void GetFactors(double& scale, double& offset) const noexcept;
  // The coefficients GetScaledValue applies for this channel's group, so that a
  // loop over many samples can scale them inline: GetScaledValue(x) is exactly
  // x * factor + summand (factor 1, summand 0 for digital inputs).
  void GetScaling(double& factor, double& summand) const noexcept;
  // An RMS value brought from the original scale to this channel's scale.
  double GetValueRMS(double x) const noexcept;

  // Decodes and scales the sample at buffer + position and advances position
  // past it; `raw`, when given, receives the stored bytes of a plain sample.
  // The caller guarantees that the buffer holds the whole stored sample.
  double GetScaledValueFromBuf(const uint8_t* buffer, int64_t& position, void* raw) const;
  // Reads one stored sample from the stream's position and decodes it.
  double GetScaledValueFromStream(MultiStream::CStream* stream, void* raw) const;
  // Decodes a complex sample; scaled unless scaleType is Raw.
  void GetComplexValueFromBuf(const uint8_t* buffer, int64_t& position, KVComplex* out,
                              ScaleType scaleType) const;
  void GetComplexValueFromStream(MultiStream::CStream* stream, KVComplex* out, ScaleType scaleType) const;
  char GetCharValueFromBuf(const uint8_t* buffer, int64_t& position) const;

  // --- Binary payloads ------------------------------------------------------

  // Copies the payload that the 16-byte record at buffer + position locates in
  // BinaryStream into `output`. BinaryData: the payload alone at the start of
  // the output; BinaryPacked: appended behind a 32-bit length. A payload that
  // does not fit `capacity` throws NoMemoryAllocException and changes nothing; a
  // record that points outside the stream throws FileCorruptException. Other
  // scale types do nothing.
  void GetBinDataFromBuf(const uint8_t* buffer, int64_t& position, uint8_t* output, int& outputLength,
                         int capacity, ScaleType scaleType) const;
  // Copies `count` 16-byte records as (position, size) pairs.
  void GetBinRecFromBuf(const uint8_t* buffer, int64_t& position, int64_t* output, int count) const;
  // Writes one payload into a ring buffer of `capacity` bytes at the write
  // counter, wrapping once; a payload larger than the ring throws
  // NoMemoryAllocException.
  void GetBinDataFromSample(const KVBinarySample* sample, uint8_t* ring, int64_t& counter,
                            int64_t capacity) const;

  // --- Reduced-data record sizes --------------------------------------------

  int getFirstOrigIBLevel() const noexcept { return StoredFirstAsyncIBLevel; }
  int getUpperIBLevel() const noexcept { return StoredFirstAsyncIBLevel + 1; }
  // Reduced records of this channel hold time stamps only.
  bool getOnlyIBTimeStamp() const noexcept { return OnlyIBTimeStamp || DataType == kTypeBinary; }
  int getIBItemChSize() const noexcept;
  int getIBArrayChSize() const noexcept;
  // Bytes of this channel's item in one record of reduced level `level`.
  int GetIBRecSize(int level) const noexcept;

  // --- CAN and digital input ------------------------------------------------

  // Byte positions of a CAN signal inside its message payload.
  void CANCalcPositions() noexcept;
  // The signal's value out of a message payload of `payloadBytes` bytes; 0 when
  // the signal does not lie inside the payload or is wider than 32 bits.
  double DecodeCANCh(const uint8_t* payload, int payloadBytes) const noexcept;
  // Bit BitNo of the port sample, read in the parent port's data type.
  double DecodeDICh(const uint8_t* portSample) const noexcept;

  // --- Definition texts -----------------------------------------------------

  // Remembers the definition element applied to this channel and its
  // "Properties" child (null when it has none); they belong to the setup
  // document, which lives as long as the channel.
  void SetDefinitionElements(XMLElement* definition, XMLElement* properties);
  // The definition element as one line of XML text behind the XML declaration,
  // or null when no definition was applied. Exported on first use.
  const std::string* GetSetupXML() const;
  // The "Properties" child exported the same way, or null when there is none.
  const std::string* GetPropertiesXML() const;

  // --- Life cycle -----------------------------------------------------------

  // Derives the group, list membership, kind and scaling once the channel is
  // filled.
  void Initiate();
  // LongName = "module/device/name", each part only when present.
  void initiateLongName();

  // Fields in the order of the stored channel description, except that the
  // texts come last, so that the numbers every pass over the channels reads
  // share few cache lines.
  int ChannelNumber = -1;
  int IndexLevel = 0;
  char KVIndex[kKVIndexBytes] = {};
  int ChannelGroup = 0;
  uint32_t DisplayColor = 0;
  int DataType = 0;
  double Scale = std::numeric_limits<double>::infinity();
  double Offset = std::numeric_limits<double>::infinity();
  bool UseCustomScaleForSingleValues = false;
  bool HasOrigScale = false;
  double OrigOffset = 0;
  double OrigScale = 1;
  bool Async = false;
  bool AsyncDivider = false;
  bool ComplexIBBuffers = false;
  bool SingleValue = false;
  bool ReadIndexFromSetup = false;
  int SRDiv = 1;
  int DisplayFormat = 0;
  bool IsRemote = false;
  std::unique_ptr<CKVOfflineInfo> OfflineInfo;
  std::unique_ptr<CKVOnlineInfo> OnlineInfo;
  MultiStream::CStream* BinaryStream = nullptr;
  int MathModuleOffline = 0;
  std::vector<CArrayInfo> ArrayInfo;
  bool ItemChannels = false;
  bool StoreIB = false;
  int MaxIBArraySize = 512;
  int SRDivType = 0;
  double ExpectedAsyncRate = 100;
  int StoredFirstAsyncIBLevel = 0;
  int64_t AsyncSamples = 0;
  bool Filled = false;
  bool ForceSinglePrecision = false;
  int SigBitCount = 0;
  int BitCount = 0;
  int BitsLog = 0;
  bool Shown = false;
  bool Listed = false;
  bool ListedAsText = false;
  bool ListedAsBinary = false;
  bool DecodedFromParent = false;
  bool OnlyIBTimeStamp = false;
  int CalcSingleValue = 0;
  CKVChannel* ParentChannel = nullptr;
  int64_t Range = 0;
  double AmplScale = 1;
  double AmplOffset = 0;
  double AIScale = 1;
  double AIOffset = 0;
  double SecondScale = 1;
  double CNTScale = 1;
  double CNTOffset = 0;
  int DICount = 0;
  int BitNo = 0;
  int StartBit = 0;
  int BitLength = 0;
  int CANDataType = 0;
  int DataDirection = 0;
  int MultiplexType = 0;
  int MultiplexValue = 0;
  int StartByte = 0;
  int EndByte = 0;
  int StartBitInByte = 0;
  int SignalBitLength = 0;
  int ByteCount = 0;
  bool IsPortChannel = false;
  int DLC = 0;
  bool StoreDecoded = false;
  double RealScale = 1;
  double RealOffset = 0;

  std::string LogicalName;
  std::vector<CKVCustomProp> CustomProps;
  std::string IndexText;
  std::string OriginalKorvaneIndex;
  std::string ChannelPath;
  char Name[kNameBytes] = {};
  char Unit[kUnitBytes] = {};
  char Description[kDescriptionBytes] = {};
  std::string LongName;
  std::string ModuleName;
  std::string DeviceName;

 private:
  XMLElement* setupElement_ = nullptr;
  XMLElement* propertiesElement_ = nullptr;
  // The exported texts, made on first request.
  mutable std::optional<std::string> SetupXML;
  mutable std::optional<std::string> PropertiesXML;

  // Bytes of the sample this channel is decoded from: the parent's for a
  // derived channel, its own otherwise.
  int StoredSampleBytes() const noexcept;
};

}  // namespace Korvane::DataReader
