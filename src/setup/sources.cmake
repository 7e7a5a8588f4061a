# The setup subsystem lists its sources here.
target_sources(kv_setup PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ChannelGroups.cpp
  ${CMAKE_CURRENT_LIST_DIR}/KVIndex.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NumberParsers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CArrayInfo.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CKVChannel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CKVChannelDecode.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CKVChannelStream.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CKVChannelXML.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CKVCustomProp.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CKVXMLHelper.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CKVXMLHelperCNT.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CKVXMLHelperChannels.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CKVXMLHelperDevices.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CKVXMLHelperValues.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CNTSensor.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ChannelIndexTable.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SetupValueReader.cpp)
