# zento-render over several frames with animated textures (numbered sequences,
# image file lists), checked from the plugin's messages. Not labelled `threads`:
# Embree's own worker threads are not instrumented for the thread sanitizer.
add_executable(test-render-animated ${CMAKE_CURRENT_LIST_DIR}/animated_render_test.cpp)
target_link_libraries(test-render-animated PRIVATE ptex_make_core GTest::gtest_main)
target_compile_definitions(test-render-animated PRIVATE
  ZENTO_TESTDATA_DIR="${ZENTO_TESTDATA_DIR}"
  ZENTO_PLUGIN_FILE="$<TARGET_FILE:zento_TexFacet>"
  ZENTO_RENDER_EXE="$<TARGET_FILE:zento-render>")
add_dependencies(test-render-animated zento_TexFacet zento-render)
gtest_discover_tests(test-render-animated DISCOVERY_TIMEOUT 60)
