# Inputs the fuzz targets found faults with (generated in the test); meant for
# the sanitizer build too.
add_executable(test-ptex-fuzz-regression ${CMAKE_CURRENT_LIST_DIR}/fuzz_regression_test.cpp)
target_link_libraries(test-ptex-fuzz-regression PRIVATE Ptex GTest::gtest_main)
target_compile_definitions(test-ptex-fuzz-regression PRIVATE ZENTO_TESTDATA_DIR="${ZENTO_TESTDATA_DIR}")
gtest_discover_tests(test-ptex-fuzz-regression DISCOVERY_TIMEOUT 60)
