# cmake -DKV_SOURCE_ROOT=<src> -P KVCheckLayers.cmake
# Fails when a file of one layer includes a header of a layer that is not below it.
# The layers, from the ground up (a layer may include its own headers and those of
# lower ranks; the public header KVDataReaderLib.h is below them all):
#   0 common   1 multistream, xml   2 setup, events, asyncindex   3 engine   4 reader   5 api
# A directory of src/ that is not in this table fails too, so a new subsystem gets a
# place in the order before it gets code.
set(kv_rank_common 0)
set(kv_rank_multistream 1)
set(kv_rank_xml 1)
set(kv_rank_setup 2)
set(kv_rank_events 2)
set(kv_rank_asyncindex 2)
set(kv_rank_engine 3)
set(kv_rank_reader 4)
set(kv_rank_api 5)

get_filename_component(KV_SOURCE_ROOT "${KV_SOURCE_ROOT}" ABSOLUTE)
if(NOT IS_DIRECTORY "${KV_SOURCE_ROOT}")
  message(FATAL_ERROR "KVCheckLayers: KV_SOURCE_ROOT must name the source tree")
endif()

set(violations "")
set(checked 0)
file(GLOB layers RELATIVE "${KV_SOURCE_ROOT}" "${KV_SOURCE_ROOT}/*")
foreach(layer IN LISTS layers)
  if(NOT IS_DIRECTORY "${KV_SOURCE_ROOT}/${layer}")
    continue()
  endif()
  if(NOT DEFINED kv_rank_${layer})
    list(APPEND violations "${layer}/ is not a known layer")
    continue()
  endif()
  file(GLOB_RECURSE files RELATIVE "${KV_SOURCE_ROOT}"
       "${KV_SOURCE_ROOT}/${layer}/*.h" "${KV_SOURCE_ROOT}/${layer}/*.cpp")
  foreach(file IN LISTS files)
    math(EXPR checked "${checked} + 1")
    file(STRINGS "${KV_SOURCE_ROOT}/${file}" includes
         REGEX "^[ \t]*#[ \t]*include[ \t]*\"[A-Za-z0-9_]+/")
    foreach(line IN LISTS includes)
      string(REGEX MATCH "\"([A-Za-z0-9_]+)/" unused "${line}")
      set(target "${CMAKE_MATCH_1}")
      if(target STREQUAL layer)
        continue()
      endif()
      if(NOT DEFINED kv_rank_${target})
        list(APPEND violations "${file} includes ${target}/, which is no layer")
      elseif(NOT kv_rank_${target} LESS kv_rank_${layer})
        list(APPEND violations
             "${file} includes ${target}/ (rank ${kv_rank_${target}}), not below ${layer} (rank ${kv_rank_${layer}})")
      endif()
    endforeach()
  endforeach()
endforeach()

# A tree without sources would pass without proving anything.
if(checked EQUAL 0)
  message(FATAL_ERROR "KVCheckLayers: no sources under ${KV_SOURCE_ROOT}")
endif()
if(violations)
  list(JOIN violations "\n  " text)
  message(FATAL_ERROR "Includes that do not point down the layers:\n  ${text}")
endif()
