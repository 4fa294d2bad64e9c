# The triangle filter's texel loops and helpers (library internals).
add_executable(test-ptex-triangle ${CMAKE_CURRENT_LIST_DIR}/triangle_kernel_test.cpp)
target_include_directories(test-ptex-triangle PRIVATE ${CMAKE_SOURCE_DIR}/ptex/src)
target_link_libraries(test-ptex-triangle PRIVATE Ptex GTest::gtest_main)
gtest_discover_tests(test-ptex-triangle DISCOVERY_TIMEOUT 60)
