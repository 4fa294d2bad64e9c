# Writer output checked against the file format with a test-side decoder.
add_executable(test-ptex-writer
  ${CMAKE_CURRENT_LIST_DIR}/writer_format_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/writer_api_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/writer_golden_rewrite_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/writer_neighborhood_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/writer_file_parser.cpp)
target_link_libraries(test-ptex-writer PRIVATE Ptex ZLIB::ZLIB GTest::gtest_main)
target_compile_definitions(test-ptex-writer PRIVATE ZENTO_TESTDATA_DIR="${ZENTO_TESTDATA_DIR}")
gtest_discover_tests(test-ptex-writer DISCOVERY_TIMEOUT 60)
