# The plugin linked statically (descriptors, table, bindings) and built (exports, loading, zento-info).
add_executable(test-plugin ${CMAKE_CURRENT_LIST_DIR}/plugin_test.cpp)
target_link_libraries(test-plugin PRIVATE zt_plugin GTest::gtest_main)
gtest_discover_tests(test-plugin TEST_PREFIX "plugin." DISCOVERY_TIMEOUT 60)

add_executable(test-plugin-load ${CMAKE_CURRENT_LIST_DIR}/library_test.cpp)
target_link_libraries(test-plugin-load PRIVATE zento GTest::gtest_main)
add_dependencies(test-plugin-load zento_TexFacet zento-info)
target_compile_definitions(test-plugin-load PRIVATE ZENTO_PLUGIN_PATH="$<TARGET_FILE:zento_TexFacet>"
                                                    ZENTO_INFO_PATH="$<TARGET_FILE:zento-info>")
gtest_discover_tests(test-plugin-load TEST_PREFIX "plugin." DISCOVERY_TIMEOUT 60)
