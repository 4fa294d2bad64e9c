# The module allocator: failure report lines and message, bounded formatting.
# The test program links the allocator objects, so they are its global
# operator new and delete.
add_executable(test-alloc ${CMAKE_CURRENT_LIST_DIR}/alloc_test.cpp $<TARGET_OBJECTS:zt_alloc>)
target_include_directories(test-alloc PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(test-alloc PRIVATE zento Threads::Threads GTest::gtest_main)
gtest_discover_tests(test-alloc TEST_PREFIX "support.alloc." DISCOVERY_TIMEOUT 60 PROPERTIES LABELS threads)
