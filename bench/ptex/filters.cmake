# Standard filter speed per type, 1 and 2 threads, with allocation counts.
add_executable(bench-ptex-filters ${CMAKE_CURRENT_LIST_DIR}/filters_bench.cpp)
target_link_libraries(bench-ptex-filters PRIVATE Ptex benchmark::benchmark Threads::Threads)
