# Damaged and hostile files (golden files cut and flipped at test time, a table
# of hand-made variants); meant for the sanitizer build too.
add_executable(test-ptex-badinput ${CMAKE_CURRENT_LIST_DIR}/badinput_test.cpp)
target_link_libraries(test-ptex-badinput PRIVATE Ptex ZLIB::ZLIB GTest::gtest_main)
target_compile_definitions(test-ptex-badinput PRIVATE ZENTO_TESTDATA_DIR="${ZENTO_TESTDATA_DIR}")
gtest_discover_tests(test-ptex-badinput DISCOVERY_TIMEOUT 60)
