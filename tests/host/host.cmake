# Host library: text, parameters and lists, plugin class tree, host, renderer.
if(TARGET zento)
  add_executable(test-host
    ${CMAKE_CURRENT_LIST_DIR}/char_string_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/parameter_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/parameter_list_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/plugin_tree_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/plugin_host_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/progress_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/asset_path_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/renderer_test.cpp)
  target_link_libraries(test-host PRIVATE zento Threads::Threads GTest::gtest_main)
  target_compile_definitions(test-host PRIVATE ZENTO_TESTDATA_DIR="${ZENTO_TESTDATA_DIR}")
  gtest_discover_tests(test-host TEST_PREFIX "host." DISCOVERY_TIMEOUT 60 PROPERTIES LABELS threads)
endif()
