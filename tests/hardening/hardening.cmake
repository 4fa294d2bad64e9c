# Hardening: refused allocations over frame preparation and shading (the program
# links the module allocator objects, so they are its operator new), files that
# change or fail under the cache, many instances over one small cache. The
# allocation and load programs shade on several threads: label `threads`, so CI
# reruns them under TSan.
add_executable(test-hardening-alloc ${CMAKE_CURRENT_LIST_DIR}/alloc_fault_test.cpp $<TARGET_OBJECTS:zt_alloc>)
add_executable(test-hardening-files ${CMAKE_CURRENT_LIST_DIR}/file_fault_test.cpp)
add_executable(test-hardening-load ${CMAKE_CURRENT_LIST_DIR}/load_test.cpp)
foreach(t test-hardening-alloc test-hardening-files test-hardening-load)
  target_link_libraries(${t} PRIVATE zt_plugin zt_engine Threads::Threads GTest::gtest_main)
  target_compile_definitions(${t} PRIVATE ZENTO_TESTDATA_DIR="${ZENTO_TESTDATA_DIR}")
endforeach()
gtest_discover_tests(test-hardening-alloc TEST_PREFIX "hardening." DISCOVERY_TIMEOUT 60 PROPERTIES LABELS threads)
gtest_discover_tests(test-hardening-files TEST_PREFIX "hardening." DISCOVERY_TIMEOUT 60)
gtest_discover_tests(test-hardening-load TEST_PREFIX "hardening." DISCOVERY_TIMEOUT 60 PROPERTIES LABELS threads)

# The absorbing allocations of the built plugin library, refused for real.
add_executable(test-hardening-module ${CMAKE_CURRENT_LIST_DIR}/module_alloc_test.cpp
                                     ${PROJECT_SOURCE_DIR}/tests/engine/engine_test_files.cpp)
target_include_directories(test-hardening-module PRIVATE ${PROJECT_SOURCE_DIR}/tests/engine)
target_link_libraries(test-hardening-module PRIVATE Ptex zento GTest::gtest_main)
add_dependencies(test-hardening-module zento_TexFacet)
target_compile_definitions(test-hardening-module PRIVATE ZENTO_PLUGIN_PATH="$<TARGET_FILE:zento_TexFacet>")
gtest_discover_tests(test-hardening-module TEST_PREFIX "hardening." DISCOVERY_TIMEOUT 60)

# Thousands of held textures within the cache's file limit: the full size is slow
# (nosan); the small size shades on threads (threads, rerun under TSan).
add_executable(test-hardening-scale ${CMAKE_CURRENT_LIST_DIR}/scale_test.cpp)
target_link_libraries(test-hardening-scale PRIVATE zt_plugin zt_engine Threads::Threads GTest::gtest_main)
gtest_discover_tests(test-hardening-scale TEST_PREFIX "hardening." DISCOVERY_TIMEOUT 60
                     TEST_FILTER "Full/*" TEST_LIST scale_full PROPERTIES LABELS nosan)
gtest_discover_tests(test-hardening-scale TEST_PREFIX "hardening." DISCOVERY_TIMEOUT 60
                     TEST_FILTER "Small/*" TEST_LIST scale_small PROPERTIES LABELS threads)
