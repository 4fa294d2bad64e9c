# The ptex-info and ptex-convert programs, run as processes.
if(TARGET ptex-info AND TARGET ptex-convert)
  add_executable(test-ptex-tools ${CMAKE_CURRENT_LIST_DIR}/ptex-tools-test.cpp)
  target_link_libraries(test-ptex-tools PRIVATE Ptex GTest::gtest_main)
  target_include_directories(test-ptex-tools PRIVATE ${CMAKE_CURRENT_LIST_DIR})
  target_compile_definitions(test-ptex-tools PRIVATE
    ZENTO_TESTDATA_DIR="${ZENTO_TESTDATA_DIR}"
    PTEX_INFO_BIN="$<TARGET_FILE:ptex-info>"
    PTEX_CONVERT_BIN="$<TARGET_FILE:ptex-convert>")
  add_dependencies(test-ptex-tools ptex-info ptex-convert)
  gtest_discover_tests(test-ptex-tools DISCOVERY_TIMEOUT 60)
endif()
