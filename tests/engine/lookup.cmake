# Shading lookup: end to end through the loaded plugin library (golden meshes and
# files) and two render threads on one instance (label threads); the unit cases of
# getTexColor and evaluate on a statically linked instance with the module's own
# allocator.
add_executable(test-lookup ${CMAKE_CURRENT_LIST_DIR}/lookup_test.cpp)
target_include_directories(test-lookup PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests/origmesh)
target_link_libraries(test-lookup PRIVATE Ptex zento Threads::Threads GTest::gtest_main)
add_dependencies(test-lookup zento_TexFacet)
target_compile_definitions(test-lookup PRIVATE ZENTO_TESTDATA_DIR="${ZENTO_TESTDATA_DIR}"
                                               ZENTO_PLUGIN_PATH="$<TARGET_FILE:zento_TexFacet>")
gtest_discover_tests(test-lookup TEST_PREFIX "engine." DISCOVERY_TIMEOUT 60 TEST_FILTER "-LookupThreads.*")
gtest_discover_tests(test-lookup TEST_PREFIX "engine." DISCOVERY_TIMEOUT 60 TEST_FILTER "LookupThreads.*"
                     PROPERTIES LABELS threads)

add_executable(test-lookup-unit
  ${CMAKE_CURRENT_LIST_DIR}/lookup_unit_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/engine_test_files.cpp
  $<TARGET_OBJECTS:zt_alloc>)
target_include_directories(test-lookup-unit PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(test-lookup-unit PRIVATE zt_plugin zt_engine zento GTest::gtest_main)
target_compile_definitions(test-lookup-unit PRIVATE ZENTO_TESTDATA_DIR="${ZENTO_TESTDATA_DIR}")
gtest_discover_tests(test-lookup-unit TEST_PREFIX "engine." DISCOVERY_TIMEOUT 60)
