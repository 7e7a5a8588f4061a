target_sources(kvdatareader_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/AsyncIndexLibException.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AsyncManager.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MemoryStream.cpp)
