# zento-render: scene files, the host side of the plugin contract, rendered
# pixels of known faces, and the program's messages. Not labelled `threads`:
# Embree's own worker threads are not instrumented for the thread sanitizer.
if(TARGET zento_render_core AND TARGET zento_TexFacet)
  add_executable(test-render
    ${CMAKE_CURRENT_LIST_DIR}/render_scene_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/render_host_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/render_cli_test.cpp)
  target_link_libraries(test-render PRIVATE zento_render_core ptex_toolmesh GTest::gtest_main)
  target_compile_definitions(test-render PRIVATE
    ZENTO_TESTDATA_DIR="${ZENTO_TESTDATA_DIR}"
    ZENTO_PLUGIN_FILE="$<TARGET_FILE:zento_TexFacet>"
    ZENTO_RENDER_EXE="$<TARGET_FILE:zento-render>")
  add_dependencies(test-render zento_TexFacet zento-render)
  gtest_discover_tests(test-render DISCOVERY_TIMEOUT 60)
endif()
