# Installs the build into a scratch prefix and imports the package from there with
# no hint where the library is: it must find the library it was installed beside.
set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix} RESULT_VARIABLE failed
                OUTPUT_QUIET)
if(failed)
  message(FATAL_ERROR "cmake --install failed")
endif()
file(GLOB package_dir ${prefix}/lib*/kvdatareader)
if(NOT package_dir)
  message(FATAL_ERROR "the package was not installed under ${prefix}")
endif()
get_filename_component(libdir ${package_dir} DIRECTORY)
set(ENV{PYTHONPATH} ${libdir})
set(ENV{PYTHONDONTWRITEBYTECODE} 1)
unset(ENV{KVDATAREADER_LIB})
execute_process(COMMAND /usr/bin/python3 -c
  "import kvdatareader, kvdatareader._library as L; print(kvdatareader.__file__); print(L.lib().kv_path)"
  WORKING_DIRECTORY ${WORK_DIR} RESULT_VARIABLE failed OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(failed OR NOT out MATCHES "^${libdir}/kvdatareader/__init__.py\n${libdir}/libKVDataReaderLib64")
  message(FATAL_ERROR "the installed package did not load the installed library:\n${out}\n${err}")
endif()
