target_sources(kv_reader PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/CKVDataReader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CKVDataReaderChannels.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CKVDataReaderReduced.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CKVDataReaderSamples.cpp)
