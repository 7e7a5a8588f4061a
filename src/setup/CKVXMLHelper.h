// CKVXMLHelper: the setup interpreter. It parses a data file's setup document,
// reads the measurement-wide properties, builds the channel list (one CKVChannel
// per stored-channel entry, filled from the device tree), computes the shared
// data-block and reduced-record layouts, and sorts the channels into the six
// sample categories. It owns the document, the channels and the measurement
// layout record until CloseFile; the category lists only point into the channel
// list.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "setup/CKVChannel.h"
#include "setup/CKVOnlineInfo.h"
#include "setup/ChannelIndexTable.h"
#include "setup/CNTSensor.h"

namespace Korvane::DataReader {

class XML;
class XMLElement;

namespace MultiStream {
class CStream;
}

class CKVXMLHelper {
 public:
  // Width of one system-monitor device name slot, terminator included.
  static constexpr int kDeviceNameBytes = 100;
  // Counter settings are read from setups of files newer than this version.
  static constexpr int kFirstCNTSettingsVersion = 7303;

  // An interpreter without a document or channels.
  CKVXMLHelper();
  virtual ~CKVXMLHelper();

  CKVXMLHelper(const CKVXMLHelper&) = delete;
  CKVXMLHelper& operator=(const CKVXMLHelper&) = delete;

  // --- Opening and closing --------------------------------------------------

  // Parses the setup stream and builds properties and channel list, then reads
  // "MeasIndex" from the measurement-info stream when one is given. A setup text
  // that does not parse, or a setup that cannot be interpreted, throws
  // FileCorruptException (malformed decimal numbers throw the standard
  // std::invalid_argument / std::out_of_range). Returns false when the
  // measurement-info text did not parse (MeasIndex stays -1), true otherwise.
  bool OpenAndParseFile(MultiStream::CStream* setupStream, MultiStream::CStream* measInfoStream,
                        int fileVersion);
  // Interprets an already parsed setup document, which the interpreter keeps
  // until CloseFile: properties, channel list, numbering and categories. Throws
  // like OpenAndParseFile and is then closed again.
  void InterpretDocument(std::unique_ptr<XML> document, int fileVersion);
  // Releases the document, every channel and the measurement layout; the
  // storing type reads 0 afterwards.
  void CloseFile();

  // --- Measurement properties -----------------------------------------------

  double GetRate() const noexcept { return SampleRate; }
  double GetSampleRate() const noexcept { return SampleRate; }
  double GetStartStoreTime() const noexcept { return StartStoreTime; }
  double GetExternalClock() const noexcept { return ExternalClock; }
  int GetBlockSize() const noexcept { return BlockSize; }
  int GetIBRate() const noexcept { return IBRate; }
  int GetStartingIBLevel() const noexcept { return StartingIBLevel; }
  int GetDataStoreMode() const noexcept { return DataStoreMode; }
  int GetMeasIndex() const noexcept { return MeasIndex; }
  int GetFileVersion() const noexcept { return fileVersion_; }
  // Entry 0 is BlockSize, entries 1 to 5 the ratio between consecutive levels.
  const std::array<uint32_t, kIBLevelCount>& GetIBRates() const noexcept { return ibRates_; }
  // The measurement-wide layout: DBOffset = bytes of one data block, IBOffset[L]
  // = bytes of one record of reduced level L. Null before a successful open.
  const CKVOnlineInfo* GetOnlineInfo() const noexcept { return onlineInfo_.get(); }

  // Sets IB rate 0 to blockSize and IB rates 1 to 5 to rate.
  void SetDefaultIBRates(int blockSize, int rate);
  // Full-rate samples per reduced value of level L (1 below level 0).
  int64_t GetIBAbsRate(int level) const noexcept;
  // Level-0 reduced values per reduced value of level L (1 at level 0 and below).
  int64_t GetIBAbsMidRate(int level) const noexcept;
  // Data blocks per reduced value of level L.
  int64_t GetIBMidRate(int level) const noexcept;

  // System-monitor device names, by the device number the channel indexes carry.
  int GetDeviceNameCount() const noexcept { return static_cast<int>(deviceNames_.size()); }
  const char* GetDeviceName(int index) const noexcept;

  // --- Channels -------------------------------------------------------------

  // Every stored channel in stored-channel order; position = ChannelNumber.
  const std::vector<std::unique_ptr<CKVChannel>>& GetChannelList() const noexcept { return channels_; }
  int GetChannelCount() const noexcept { return static_cast<int>(channels_.size()); }
  // The channel at `position`, or null when out of range.
  CKVChannel* GetChannel(int position) const noexcept;

  // The six category lists, in channel-list order.
  const std::vector<CKVChannel*>& GetOnlineSyncChannels() const noexcept { return onlineSync_; }
  const std::vector<CKVChannel*>& GetOnlineAsyncChannels() const noexcept { return onlineAsync_; }
  const std::vector<CKVChannel*>& GetOnlineSingleValueChannels() const noexcept { return onlineSingle_; }
  const std::vector<CKVChannel*>& GetOfflineSyncChannels() const noexcept { return offlineSync_; }
  const std::vector<CKVChannel*>& GetOfflineAsyncChannels() const noexcept { return offlineAsync_; }
  const std::vector<CKVChannel*>& GetOfflineSingleValueChannels() const noexcept { return offlineSingle_; }

  // The n-th channel (list order) whose index equals the converted text, or null.
  CKVChannel* FindChannelByKVIndex(const char* indexText, int n = 0) const;

  // --- Value readers (child element text, names matched case-insensitively,
  // first match wins, a missing or empty element gives the default) ----------

  static std::string ReadString(const XMLElement* element, const char* name, const char* defaultValue);
  // Copies the text (or the default) into a buffer of `capacity` bytes, cut.
  static void ReadString(const XMLElement* element, const char* name, char* out, int capacity,
                         const char* defaultValue);
  static std::string AllocateAndReadString(const XMLElement* element, const char* name, const char* defaultValue);
  static int ReadStringLength(const XMLElement* element, const char* name);
  // Decimal integers (leading blanks and a sign allowed, digits up to the first
  // other character, none gives 0). A value outside the type throws
  // FileCorruptException.
  static int ReadInteger(const XMLElement* element, const char* name, int defaultValue);
  static uint32_t ReadUnsignedInt(const XMLElement* element, const char* name, uint32_t defaultValue);
  static int64_t ReadInt64(const XMLElement* element, const char* name, int64_t defaultValue);
  // "#RRGGBB" as 0x00RRGGBB, otherwise a decimal 32-bit value.
  static uint32_t ReadColor(const XMLElement* element, const char* name, uint32_t defaultValue);
  static float ReadFloat(const XMLElement* element, const char* name, float defaultValue);
  static double ReadDouble(const XMLElement* element, const char* name, double defaultValue);
  // True exactly when the text is "true" in any letter case.
  static bool ReadBool(const XMLElement* element, const char* name, bool defaultValue);

  // The first child with that name (any letter case), or null.
  static XMLElement* FindElement(const XMLElement* element, const char* name);
  // The n-th child with that name (any letter case) whose attribute has exactly
  // that value, or null.
  static XMLElement* FindElement(const XMLElement* element, const char* name, const char* attribute,
                                 const char* value, int n);
  // The value of the attribute, or null when the element has none of that name.
  static const char* FindAttribute(const XMLElement* element, const char* name, std::string& value);
  static bool HasAttribute(const XMLElement* element, const char* name);
  // Whether the element's name equals `name` in any letter case.
  static bool IsNodeName(const XMLElement* element, const char* name);

  // --- Stream records -------------------------------------------------------

  // Nothing when the element is null.
  static void FillOnlineInfo(const XMLElement* element, CKVOnlineInfo* record);
  static void FillOfflineInfo(const XMLElement* element, CKVOfflineInfo* record);

  // --- Building the channel list (called by OpenAndParseFile) ---------------

  void FillProperties(XML* document);
  void FillChannelList();
  // Applies a definition element to `channel`, or, with none, to the first
  // unfilled stored channel of the definition's index. Returns the filled
  // channel, or null when the definition matches none or is not stored.
  CKVChannel* FillChannel(XMLElement* element, CKVChannel* channel);
  void FillOutPutChannels(XMLElement* element);
  void FillDIPort(XMLElement* port);
  void FillCANDevice(XMLElement* device);
  void FillVideoDevice(XMLElement* device);
  void FillImportDeviceOrRT(XMLElement* device);
  void FillVariables(XMLElement* element);
  void FillSystemMonitor(XMLElement* element);
  void FillMathOld(XMLElement* device);
  void FillRemote(XMLElement* element);
  void FillPlugins(XMLElement* element);
  void FillDAQOut(XMLElement* device);
  void FillLumaq(XMLElement* device);
  void FillMathModule(XMLElement* module);
  void FillCNT(XMLElement* device);
  static bool NeedToUpdateAmpl(const XMLElement* element);
  static void FillAmplProps(const XMLElement* element, CKVChannel* channel);
  // Binds every decoded channel to the channel it is decoded from.
  void ChBinding();
  // Numbers the channels by their list position.
  void FilterChannelList();
  // Computes the shared layouts unless the setup gave them.
  void PrepareOnlineInfo();
  // Sorts the channels into the six category lists.
  void Initiate();
  // Reads the "ArrayInfo" settings and axes into the channel; nothing for null.
  static void FillArrayInfo(const XMLElement* arrayInfo, CKVChannel* channel);

  // Sets the counter output channels' SecondScale and units for the counter
  // settings; entries may be null.
  static void CalculateCNTScaling(const std::vector<CKVChannel*>& outputs, const CNTSettings& settings);
  // Sets the unit only when the channel's Scale is exactly 1.
  static void setUnitIfScale1(CKVChannel* channel, const char* unit);

 private:
  // The values a definition takes from its enclosing element, read once per
  // enclosing element however many definitions it holds.
  struct ParentValues {
    bool useCustomScaleForSingleValues = false;
    double amplScale = 1;
    double amplOffset = 0;
    bool hasCustomRange = false;
    int64_t customRange = 0;
  };

  // The first channel with that index not yet filled, or null.
  CKVChannel* FindUnfilledChannel(const char* indexText) { return channelIndex_.FindUnfilled(indexText); }
  ParentValues ReadParentValues(const XMLElement* parent);
  void FillMeasInfoProperties(XML* document);
  // root / "System" / `section` of the document, or null when a step is missing.
  static XMLElement* FindSystemSection(const XML* document, const char* section);
  void ReadDeviceNames(XMLElement* names);
  static void ValidateChannel(const CKVChannel& channel);
  // Applies one stored-channel entry's amplifier values and OnlineInfo to the
  // channel of its index; nothing for an entry that carries neither.
  void UpdateStoredChannel(XMLElement* entry);
  void ClearChannels();

  // Sections of the setup document under root / "System".
  static constexpr const char* kKorvaneSetup = "KorvaneSetup";
  static constexpr const char* kProjectSetup = "ProjectSetup";

  std::unique_ptr<XML> document_;
  int MathModuleOffline = 0;
  std::string ModuleName;
  bool pluginsSeen_ = false;
  int MeasIndex = -1;
  double SampleRate = 1000;
  double StartStoreTime = 0;
  double ExternalClock = 0;
  int BlockSize = 100;
  int StartingIBLevel = 0;
  int IBRate = 20;
  std::array<uint32_t, kIBLevelCount> ibRates_ = {100, 20, 20, 20, 20, 20};
  std::unique_ptr<CKVOnlineInfo> onlineInfo_;
  int DataStoreMode = 0;
  int fileVersion_ = 0;
  std::vector<std::unique_ptr<CKVChannel>> channels_;
  std::vector<CKVChannel*> onlineSync_;
  std::vector<CKVChannel*> onlineAsync_;
  std::vector<CKVChannel*> onlineSingle_;
  std::vector<CKVChannel*> offlineSync_;
  std::vector<CKVChannel*> offlineAsync_;
  std::vector<CKVChannel*> offlineSingle_;
  std::vector<std::string> deviceNames_;
  // Stored channels by index text, built once the stored list exists.
  ChannelIndexTable channelIndex_;
  // Values of enclosing elements that hold many definitions.
  std::unordered_map<const XMLElement*, ParentValues> parentValues_;
  // Nesting depth of the device-tree walk, bounded against hostile setups.
  int walkDepth_ = 0;
};

}  // namespace Korvane::DataReader
