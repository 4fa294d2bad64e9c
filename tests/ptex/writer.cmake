# Ptex writer: golden files rewritten byte for byte, the neighbourhood flag on
# the golden meshes, errors; and what it writes read back (every type, edits).
add_executable(test-ptex-writer ${CMAKE_CURRENT_LIST_DIR}/writer_test.cpp ${CMAKE_CURRENT_LIST_DIR}/roundtrip_test.cpp)
target_link_libraries(test-ptex-writer PRIVATE Ptex GTest::gtest_main)
target_compile_definitions(test-ptex-writer PRIVATE ZENTO_TESTDATA_DIR="${ZENTO_TESTDATA_DIR}")
gtest_discover_tests(test-ptex-writer DISCOVERY_TIMEOUT 60)

# The speed comparison's bench file, written through our writer, has the size
# the common writer gives the same content.
if(EXISTS ${ZENTO_PERF_DIR}/make_bench_file.cpp)
  add_executable(make-bench-file ${ZENTO_PERF_DIR}/make_bench_file.cpp)
  target_link_libraries(make-bench-file PRIVATE Ptex)
  target_compile_options(make-bench-file PRIVATE -w)
  add_test(NAME ptex-writer-bench-file-size
           COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:make-bench-file>
                   -DOUT=${CMAKE_CURRENT_BINARY_DIR}/bench-file-size/bench_200x256_rgba8.ptx
                   -DEXPECTED_SIZE=39918170 -P ${CMAKE_SOURCE_DIR}/scripts/check-file-size.cmake)
  set_tests_properties(ptex-writer-bench-file-size PROPERTIES LABELS nosan)
endif()
