target_sources(kv_api PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/LastStatus.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ReaderRegistry.cpp)
