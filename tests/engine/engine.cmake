# Texture engine: channel choice and colour, result tables, frame lifecycle
# (through TexFacet, with files written by our Ptex writer and the golden files).
add_executable(test-engine
  ${CMAKE_CURRENT_LIST_DIR}/engine_test_files.cpp
  ${CMAKE_CURRENT_LIST_DIR}/channels_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/result_tables_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lifecycle_test.cpp)
target_link_libraries(test-engine PRIVATE zt_plugin zt_engine GTest::gtest_main)
target_compile_definitions(test-engine PRIVATE ZENTO_TESTDATA_DIR="${ZENTO_TESTDATA_DIR}")
gtest_discover_tests(test-engine TEST_PREFIX "engine." DISCOVERY_TIMEOUT 60)
