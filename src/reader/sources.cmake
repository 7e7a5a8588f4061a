target_sources(kvdatareader_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/CKVDataReader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CKVDataReaderChannels.cpp)
