# Host library: values and parameters, plugin class tree and host, what a render hands a plugin.
add_executable(test-host ${CMAKE_CURRENT_LIST_DIR}/values_test.cpp ${CMAKE_CURRENT_LIST_DIR}/plugin_test.cpp
                         ${CMAKE_CURRENT_LIST_DIR}/setup_test.cpp)
target_link_libraries(test-host PRIVATE zento Threads::Threads GTest::gtest_main)
gtest_discover_tests(test-host TEST_PREFIX "host." DISCOVERY_TIMEOUT 60 PROPERTIES LABELS threads)
