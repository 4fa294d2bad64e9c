# Ptex writer throughput.
add_executable(bench-ptex-write ${CMAKE_CURRENT_LIST_DIR}/write_bench.cpp)
target_link_libraries(bench-ptex-write PRIVATE Ptex benchmark::benchmark)
