# Ptex reader: golden files against their dumps, core helpers.
find_package(nlohmann_json REQUIRED)
add_executable(test-ptex-reader ${CMAKE_CURRENT_LIST_DIR}/reader_golden_test.cpp ${CMAKE_CURRENT_LIST_DIR}/reader_core_test.cpp)
target_include_directories(test-ptex-reader PRIVATE ${CMAKE_SOURCE_DIR}/ptex/src)
target_link_libraries(test-ptex-reader PRIVATE Ptex GTest::gtest_main nlohmann_json::nlohmann_json)
target_compile_definitions(test-ptex-reader PRIVATE ZENTO_TESTDATA_DIR="${ZENTO_TESTDATA_DIR}")
gtest_discover_tests(test-ptex-reader DISCOVERY_TIMEOUT 60)
