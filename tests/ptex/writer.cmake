# Ptex writer: golden files rewritten byte for byte, the neighbourhood flag on
# the golden meshes, errors; and what it writes read back (every type, edits).
add_executable(test-ptex-writer ${CMAKE_CURRENT_LIST_DIR}/writer_test.cpp ${CMAKE_CURRENT_LIST_DIR}/roundtrip_test.cpp)
target_link_libraries(test-ptex-writer PRIVATE Ptex GTest::gtest_main)
target_compile_definitions(test-ptex-writer PRIVATE ZENTO_TESTDATA_DIR="${ZENTO_TESTDATA_DIR}")
gtest_discover_tests(test-ptex-writer DISCOVERY_TIMEOUT 60)
