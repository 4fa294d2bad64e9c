# Mitchell filter against the library's bicubic filter on the same queries, with
# heap allocations per evaluation.
add_executable(bench-filters-mitchell ${CMAKE_CURRENT_LIST_DIR}/mitchell_bench.cpp)
target_link_libraries(bench-filters-mitchell PRIVATE zt_filters Ptex benchmark::benchmark)
target_compile_definitions(bench-filters-mitchell PRIVATE ZENTO_TESTDATA_DIR="${ZENTO_TESTDATA_DIR}")
