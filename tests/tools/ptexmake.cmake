# ptex-make: Ptex layout of meshes (against the golden files) and whole-file writes.
find_package(nlohmann_json REQUIRED)
add_executable(test-ptexmake
  ${CMAKE_CURRENT_LIST_DIR}/ptexmake_layout_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ptexmake_golden_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ptexmake_write_test.cpp)
target_link_libraries(test-ptexmake PRIVATE ptex_toolmesh nlohmann_json::nlohmann_json GTest::gtest_main)
target_compile_definitions(test-ptexmake PRIVATE ZENTO_TESTDATA_DIR="${ZENTO_TESTDATA_DIR}"
                                                  PTEX_MAKE_EXE="$<TARGET_FILE:ptex-make>")
add_dependencies(test-ptexmake ptex-make)
gtest_discover_tests(test-ptexmake DISCOVERY_TIMEOUT 60)
