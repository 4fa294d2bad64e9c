# Mitchell filter and the extended filter factory. Ptex is named before
# zt_filters on purpose: the factory must win whatever the link order.
add_executable(test-filters-mitchell
  ${CMAKE_CURRENT_LIST_DIR}/mitchell_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mitchell_robust_test.cpp)
target_link_libraries(test-filters-mitchell PRIVATE Ptex zt_filters GTest::gtest_main)
target_compile_definitions(test-filters-mitchell PRIVATE ZENTO_TESTDATA_DIR="${ZENTO_TESTDATA_DIR}")
gtest_discover_tests(test-filters-mitchell DISCOVERY_TIMEOUT 60)

add_executable(test-filters-mitchell-threads ${CMAKE_CURRENT_LIST_DIR}/mitchell_threads_test.cpp)
target_link_libraries(test-filters-mitchell-threads PRIVATE zt_filters Ptex GTest::gtest_main)
target_compile_definitions(test-filters-mitchell-threads PRIVATE ZENTO_TESTDATA_DIR="${ZENTO_TESTDATA_DIR}")
gtest_discover_tests(test-filters-mitchell-threads DISCOVERY_TIMEOUT 60 PROPERTIES LABELS threads)
