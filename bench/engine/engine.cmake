# Channel mapping per shading point (pick, colour space, alpha rule, gain and offset).
add_executable(bench-engine-channels ${CMAKE_CURRENT_LIST_DIR}/map_channels_bench.cpp)
target_link_libraries(bench-engine-channels PRIVATE zt_engine benchmark::benchmark)
