# ptex-make's texel placement against the plugin's face mapping.
add_executable(test-ptexmake-placement ${CMAKE_CURRENT_LIST_DIR}/facepoint_test.cpp)
target_link_libraries(test-ptexmake-placement PRIVATE meshkit zt_origmesh zento GTest::gtest_main)
gtest_discover_tests(test-ptexmake-placement DISCOVERY_TIMEOUT 60)
