# Held textures within the cache's file limit: 2,000 textures, limit 100 against none.
add_executable(bench-ptex-cache ${CMAKE_CURRENT_LIST_DIR}/cache_bench.cpp)
target_link_libraries(bench-ptex-cache PRIVATE Ptex benchmark::benchmark)
