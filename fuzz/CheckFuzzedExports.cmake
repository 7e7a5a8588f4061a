# Fails when a function the public header declares is called nowhere in the sources
# of the whole-file query fuzz target, so that a newly exported function joins it.
# cmake -DHEADER=<KVDataReaderLib.h> -DSOURCES=<file;file...> -P CheckFuzzedExports.cmake
file(READ ${HEADER} header)
string(REGEX MATCHALL "KV_API[^;(]*[ *](KV[A-Za-z0-9_]*)\\(" declarations "${header}")
set(calls "")
foreach(source IN LISTS SOURCES)
  file(READ ${source} text)
  string(APPEND calls "${text}")
endforeach()
set(missing "")
foreach(declaration IN LISTS declarations)
  string(REGEX REPLACE ".*[ *](KV[A-Za-z0-9_]*)\\($" "\\1" name "${declaration}")
  # A call, or the function passed by name into a table of calls.
  if(NOT calls MATCHES "[^A-Za-z0-9_]${name}[({},]")
    list(APPEND missing ${name})
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "exported functions the query fuzz target never calls: ${missing}")
endif()
list(LENGTH declarations count)
message(STATUS "the query fuzz target calls all ${count} exported functions")
