# The standard filters: golden query tables and targeted bad queries; the
# threaded run sharing one texture is labelled threads. The ptex-eval tool.
add_executable(test-ptex-filters ${CMAKE_CURRENT_LIST_DIR}/filters_table_test.cpp
               ${CMAKE_CURRENT_LIST_DIR}/filters_query_test.cpp
               ${CMAKE_CURRENT_LIST_DIR}/filters_source_test.cpp
               ${CMAKE_CURRENT_LIST_DIR}/filters_kernel_test.cpp)
target_include_directories(test-ptex-filters PRIVATE ${CMAKE_SOURCE_DIR}/ptex/src/filters)
target_link_libraries(test-ptex-filters PRIVATE Ptex ptex-eval-table GTest::gtest_main Threads::Threads)
target_compile_definitions(test-ptex-filters PRIVATE ZENTO_TESTDATA_DIR="${ZENTO_TESTDATA_DIR}")
gtest_discover_tests(test-ptex-filters DISCOVERY_TIMEOUT 60 TEST_FILTER "-*FilterThreadTest.*" TEST_LIST ptex_filters)
gtest_discover_tests(test-ptex-filters DISCOVERY_TIMEOUT 60 TEST_FILTER "*FilterThreadTest.*"
                     TEST_LIST ptex_filters_mt PROPERTIES LABELS threads)

add_executable(test-ptex-eval-tool ${CMAKE_CURRENT_LIST_DIR}/filters_tool_test.cpp)
target_link_libraries(test-ptex-eval-tool PRIVATE ptex-eval-table zt_filters GTest::gtest_main)
target_compile_definitions(test-ptex-eval-tool PRIVATE ZENTO_TESTDATA_DIR="${ZENTO_TESTDATA_DIR}"
                           PTEX_EVAL_BIN="$<TARGET_FILE:ptex-eval>")
add_dependencies(test-ptex-eval-tool ptex-eval)
gtest_discover_tests(test-ptex-eval-tool DISCOVERY_TIMEOUT 60)
