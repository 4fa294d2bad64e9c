# Ptex reader throughput (open, full faces, reductions, zlib vs libdeflate).
add_executable(bench-ptex-read ${CMAKE_CURRENT_LIST_DIR}/read_bench.cpp)
target_include_directories(bench-ptex-read PRIVATE ${CMAKE_SOURCE_DIR}/ptex/src)
target_link_libraries(bench-ptex-read PRIVATE Ptex benchmark::benchmark ZLIB::ZLIB)
target_compile_definitions(bench-ptex-read PRIVATE ZENTO_TESTDATA_DIR="${ZENTO_TESTDATA_DIR}")
