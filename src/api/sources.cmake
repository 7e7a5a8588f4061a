target_sources(kvdatareader_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/DataReaderLibException.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LastStatus.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ReaderRegistry.cpp)
