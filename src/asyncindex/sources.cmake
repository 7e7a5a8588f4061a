target_sources(kv_asyncindex PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/AsyncIndexLibException.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AsyncManager.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MemoryStream.cpp)
