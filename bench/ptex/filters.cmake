# Standard filter speed per type, 1 and 2 threads, with allocation counts; and the
# filter speed comparison tables: the bench file's box, bilinear, bicubic and
# gaussian queries and the golden triangle-filter tables ico_rgb8 and ico_f32_nomip.
add_executable(bench-ptex-filters ${CMAKE_CURRENT_LIST_DIR}/filters_bench.cpp)
target_link_libraries(bench-ptex-filters PRIVATE Ptex ptex-eval-table benchmark::benchmark Threads::Threads)
target_compile_definitions(bench-ptex-filters PRIVATE ZENTO_TESTDATA_DIR="${ZENTO_TESTDATA_DIR}")

# The comparison's bench file and query table are made at build time by its own
# programs in ZENTO_PERF_DIR, read in place (the file through our writer); without
# them those benchmarks skip.
find_package(Python3 COMPONENTS Interpreter)
if(EXISTS ${ZENTO_PERF_DIR}/make_bench_file.cpp AND EXISTS ${ZENTO_PERF_DIR}/make_table.py
   AND Python3_Interpreter_FOUND)
  # make-bench-file is the writer tests' target (tests/ptex/writer.cmake), same condition
  set(perf_out ${CMAKE_BINARY_DIR}/bench-data)
  add_custom_command(
    OUTPUT ${perf_out}/bench_200x256_rgba8.ptx ${perf_out}/speed.tsv
    COMMAND ${CMAKE_COMMAND} -E make_directory ${perf_out}
    COMMAND make-bench-file ${perf_out}/bench_200x256_rgba8.ptx
    COMMAND ${Python3_EXECUTABLE} ${ZENTO_PERF_DIR}/make_table.py bench_200x256_rgba8.ptx 200 8 4
            2500 > ${perf_out}/speed.tsv
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    DEPENDS make-bench-file ${ZENTO_PERF_DIR}/make_table.py
    COMMENT "Writing the filter comparison's bench file and query table")
  add_custom_target(bench-ptex-filters-data
                    DEPENDS ${perf_out}/bench_200x256_rgba8.ptx ${perf_out}/speed.tsv)
  add_dependencies(bench-ptex-filters bench-ptex-filters-data)
  target_compile_definitions(bench-ptex-filters PRIVATE ZENTO_BENCH_TABLE_DIR="${perf_out}")
endif()
