# What the writer writes, the reader reads back (all types, edits, metadata).
add_executable(test-ptex-roundtrip ${CMAKE_CURRENT_LIST_DIR}/roundtrip_test.cpp)
target_link_libraries(test-ptex-roundtrip PRIVATE Ptex GTest::gtest_main)
target_compile_definitions(test-ptex-roundtrip PRIVATE ZENTO_TESTDATA_DIR="${ZENTO_TESTDATA_DIR}")
gtest_discover_tests(test-ptex-roundtrip DISCOVERY_TIMEOUT 60)
