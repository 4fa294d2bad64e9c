# getTexColor per shading point (result-cache hits and misses, own model and host
# mesh, box and bicubic, one and two threads) with heap allocations per call. The
# program counts its own operator new, so the plugin code is linked in statically.
add_executable(bench-engine-lookup ${CMAKE_CURRENT_LIST_DIR}/lookup_bench.cpp)
target_include_directories(bench-engine-lookup PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests/origmesh)
target_link_libraries(bench-engine-lookup PRIVATE zt_plugin zt_engine zento benchmark::benchmark Threads::Threads)
target_compile_definitions(bench-engine-lookup PRIVATE ZENTO_TESTDATA_DIR="${ZENTO_TESTDATA_DIR}")
