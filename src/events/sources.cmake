target_sources(kv_events PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/CBlockEvents.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CEventEntry.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CKVEventHelper.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CTrigInfoEvent.cpp
  ${CMAKE_CURRENT_LIST_DIR}/EventArena.cpp
  ${CMAKE_CURRENT_LIST_DIR}/EventRecordReader.cpp)
