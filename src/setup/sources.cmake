# The setup subsystem lists its sources here.
target_sources(kvdatareader_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ChannelGroups.cpp
  ${CMAKE_CURRENT_LIST_DIR}/KVIndex.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NumberParsers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TextUtils.cpp)
