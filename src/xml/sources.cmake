# The xml subsystem lists its sources here.
target_sources(kv_xml PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/XML.cpp
  ${CMAKE_CURRENT_LIST_DIR}/XMLArena.cpp
  ${CMAKE_CURRENT_LIST_DIR}/XMLConvenience.cpp
  ${CMAKE_CURRENT_LIST_DIR}/XMLElement.cpp
  ${CMAKE_CURRENT_LIST_DIR}/XMLElementExport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/XMLElementServices.cpp
  ${CMAKE_CURRENT_LIST_DIR}/XMLHeader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/XMLHelper.cpp
  ${CMAKE_CURRENT_LIST_DIR}/XMLItems.cpp
  ${CMAKE_CURRENT_LIST_DIR}/XMLQuery.cpp
  ${CMAKE_CURRENT_LIST_DIR}/XMLText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/XMLVariable.cpp)
