# The plugin: descriptors, parameter table and bindings (linked statically),
# and the built library as a host loads it (exports, allocator, zento-info).
if(TARGET zt_plugin)
  add_executable(test-plugin
    ${CMAKE_CURRENT_LIST_DIR}/descriptors_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/parameter_table_test.cpp)
  target_link_libraries(test-plugin PRIVATE zt_plugin GTest::gtest_main)
  target_compile_definitions(test-plugin PRIVATE ZENTO_TESTDATA_DIR="${ZENTO_TESTDATA_DIR}")
  gtest_discover_tests(test-plugin TEST_PREFIX "plugin." DISCOVERY_TIMEOUT 60)
endif()

if(TARGET zento_TexFacet AND TARGET zento-info)
  add_executable(test-plugin-load
    ${CMAKE_CURRENT_LIST_DIR}/elf_symbols.cpp
    ${CMAKE_CURRENT_LIST_DIR}/library_load_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/zento_info_test.cpp)
  target_link_libraries(test-plugin-load PRIVATE zento ${CMAKE_DL_LIBS} GTest::gtest_main)
  add_dependencies(test-plugin-load zento_TexFacet zento-info)
  target_compile_definitions(test-plugin-load PRIVATE
    ZENTO_TESTDATA_DIR="${ZENTO_TESTDATA_DIR}"
    ZENTO_PLUGIN_PATH="$<TARGET_FILE:zento_TexFacet>"
    ZENTO_INFO_PATH="$<TARGET_FILE:zento-info>")
  gtest_discover_tests(test-plugin-load TEST_PREFIX "plugin." DISCOVERY_TIMEOUT 60)
endif()
