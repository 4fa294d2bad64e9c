# Ptex cache: behaviour tests; the threaded test is labelled threads.
add_executable(test-ptex-cache ${CMAKE_CURRENT_LIST_DIR}/cache_test.cpp)
target_link_libraries(test-ptex-cache PRIVATE Ptex GTest::gtest_main Threads::Threads)
target_compile_definitions(test-ptex-cache PRIVATE ZENTO_TESTDATA_DIR="${ZENTO_TESTDATA_DIR}")
gtest_discover_tests(test-ptex-cache DISCOVERY_TIMEOUT 60 TEST_FILTER "-PtexCacheThreads.*" TEST_LIST ptex_cache)
gtest_discover_tests(test-ptex-cache DISCOVERY_TIMEOUT 60 TEST_FILTER "PtexCacheThreads.*" TEST_LIST ptex_cache_mt
                     PROPERTIES LABELS threads)
