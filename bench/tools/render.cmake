# bench-render: a 1920x1080 render of the bundled example at 1 sample per
# pixel on 1 and 2 threads; rays and shading points per second.
add_executable(bench-render ${CMAKE_CURRENT_LIST_DIR}/render_bench.cpp)
target_link_libraries(bench-render PRIVATE zento_render_core benchmark::benchmark)
target_compile_definitions(bench-render PRIVATE
  EXAMPLE_SCENE="${CMAKE_BINARY_DIR}/examples/example.json"
  ZENTO_PLUGIN_FILE="$<TARGET_FILE:zento_TexFacet>")
add_dependencies(bench-render examples zento_TexFacet)
