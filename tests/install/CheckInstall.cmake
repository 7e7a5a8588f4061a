# Installs the build into a scratch prefix, then configures, builds and runs a host
# project that finds the library through its CMake package and through pkg-config.
set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE failed OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(failed)
    message(FATAL_ERROR "${ARGN} failed:\n${out}\n${err}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
foreach(required include/KVDataReaderLib.h)
  if(NOT EXISTS ${prefix}/${required})
    message(FATAL_ERROR "${required} not installed")
  endif()
endforeach()

set(ENV{PKG_CONFIG_PATH} "${prefix}/lib/pkgconfig:${prefix}/lib64/pkgconfig")
run(${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${WORK_DIR}/consumer -DCMAKE_PREFIX_PATH=${prefix}
    -DCMAKE_BUILD_RPATH=${prefix}/lib)
run(${CMAKE_COMMAND} --build ${WORK_DIR}/consumer)
foreach(consumer consumer_cmake consumer_pkgconfig)
  run(${WORK_DIR}/consumer/${consumer})
  if(NOT last_output MATCHES "^5\\.0\\.6")
    message(FATAL_ERROR "${consumer} printed '${last_output}'")
  endif()
endforeach()
