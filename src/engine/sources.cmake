target_sources(kv_engine PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/AsyncIndStream.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AsyncSamples.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CDataLoadEngine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CheckAndRepairEventList.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DataBlockWindow.cpp
  ${CMAKE_CURRENT_LIST_DIR}/IndexAsyncSamples.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LegacyAsyncSamples.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ReducedItem.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ReducedValues.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SampleOutput.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SingleValues.cpp
  ${CMAKE_CURRENT_LIST_DIR}/StoredReads.cpp
  ${CMAKE_CURRENT_LIST_DIR}/StreamWindows.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SyncSamples.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TextAndBinaryValues.cpp)

# The decoding loops of SampleOutput turn every stored sample into a double: GCC
# vectorizes them only when asked to at -O2 (Clang does by default).
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/SampleOutput.cpp PROPERTIES COMPILE_OPTIONS -ftree-vectorize)
endif()
