# UTF-8 file names: conversion, wide open, the Ptex input handler (also from
# several threads at once).
add_executable(test-support-utf8 ${CMAKE_CURRENT_LIST_DIR}/utf8_test.cpp)
target_link_libraries(test-support-utf8 PRIVATE zt_support Ptex GTest::gtest_main Threads::Threads)
gtest_discover_tests(test-support-utf8 TEST_PREFIX "support.utf8." DISCOVERY_TIMEOUT 60
                     PROPERTIES LABELS threads)
