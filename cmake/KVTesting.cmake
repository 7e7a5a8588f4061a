# kv_add_test(<name> LABEL <subsystem> SOURCES <files...> [LIBS <targets...>] [TIMEOUT <s>] [INTERFACE])
# adds a GoogleTest executable linked with the test kit and with the library
# internals, or with the shared library alone when INTERFACE is given (black-box
# tests through the exported functions), registered with ctest under the
# subsystem's label (ctest -L <subsystem>); TIMEOUT bounds each test case (a hang
# is a failure).
find_package(GTest REQUIRED)
include(GoogleTest)

function(kv_add_test name)
  cmake_parse_arguments(ARG "INTERFACE" "LABEL;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  if(ARG_INTERFACE)
    set(library KVDataReaderLib64)
  else()
    set(library kvdatareader_core)
  endif()
  target_link_libraries(${name} PRIVATE ${library} kvtestkit GTest::gtest GTest::gtest_main
    kv_warnings ${ARG_LIBS})
  set(properties LABELS "${ARG_LABEL}")
  if(ARG_TIMEOUT)
    list(APPEND properties TIMEOUT ${ARG_TIMEOUT})
  endif()
  gtest_discover_tests(${name} PROPERTIES ${properties} DISCOVERY_TIMEOUT 60)
endfunction()
