target_sources(kv_common PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/DataReaderLibException.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TextUtils.cpp)
