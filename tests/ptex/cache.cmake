# Ptex cache: behaviour tests and a multi-threaded test (label threads).
add_executable(test-ptex-cache ${CMAKE_CURRENT_LIST_DIR}/cache_test.cpp)
target_link_libraries(test-ptex-cache PRIVATE Ptex GTest::gtest_main)
target_compile_definitions(test-ptex-cache PRIVATE ZENTO_TESTDATA_DIR="${ZENTO_TESTDATA_DIR}")
gtest_discover_tests(test-ptex-cache DISCOVERY_TIMEOUT 60)

add_executable(test-ptex-cache-threads ${CMAKE_CURRENT_LIST_DIR}/cache_threads_test.cpp)
target_link_libraries(test-ptex-cache-threads PRIVATE Ptex GTest::gtest_main Threads::Threads)
target_compile_definitions(test-ptex-cache-threads PRIVATE ZENTO_TESTDATA_DIR="${ZENTO_TESTDATA_DIR}")
gtest_discover_tests(test-ptex-cache-threads DISCOVERY_TIMEOUT 60 PROPERTIES LABELS threads)
