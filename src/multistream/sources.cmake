# The multistream subsystem lists its sources here.
target_sources(kv_multistream PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/CStream.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CBaseStream.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CBufferedStream.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CFileStream.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CFilePage.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CVirtualStream.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CStreamContainer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FileVersion.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CMultiStream.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ZipOpenFiles.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CVirtualZipStream.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ZipMemberInflater.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CZipStream.cpp)
