# Image sequence naming and image file lists.
add_executable(test-sequence ${CMAKE_CURRENT_LIST_DIR}/sequence_name_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/image_file_list_test.cpp ${CMAKE_CURRENT_LIST_DIR}/frame_file_test.cpp)
target_link_libraries(test-sequence PRIVATE zt_sequence zento GTest::gtest_main)
target_compile_definitions(test-sequence PRIVATE ZENTO_TESTDATA_DIR="${ZENTO_TESTDATA_DIR}")
gtest_discover_tests(test-sequence TEST_PREFIX "sequence." DISCOVERY_TIMEOUT 60)
