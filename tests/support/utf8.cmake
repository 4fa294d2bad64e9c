# UTF-8 file names: conversion, wide open, and the Ptex input handler.
if(TARGET zt_support)
  add_executable(test-support-utf8
    ${CMAKE_CURRENT_LIST_DIR}/utf8_convert_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/utf8_handler_test.cpp)
  target_link_libraries(test-support-utf8 PRIVATE zt_support Ptex GTest::gtest_main)
  target_compile_definitions(test-support-utf8 PRIVATE ZENTO_TESTDATA_DIR="${ZENTO_TESTDATA_DIR}")
  gtest_discover_tests(test-support-utf8 TEST_PREFIX "support.utf8." DISCOVERY_TIMEOUT 60)
endif()

if(TARGET zt_support)
  add_executable(test-support-utf8-threads ${CMAKE_CURRENT_LIST_DIR}/utf8_threads_test.cpp)
  target_link_libraries(test-support-utf8-threads PRIVATE zt_support Ptex GTest::gtest_main Threads::Threads)
  gtest_discover_tests(test-support-utf8-threads TEST_PREFIX "support.utf8." DISCOVERY_TIMEOUT 60
                       PROPERTIES LABELS threads)
endif()
