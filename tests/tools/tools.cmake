# The tools: ptex-info and ptex-convert run as processes; ptex-make's layout,
# files and messages; zento-render's scene files, the host side of the plugin
# contract and rendered pixels of known faces. test-render is not labelled
# `threads`: Embree's own worker threads are not instrumented for the thread sanitizer.
find_package(nlohmann_json REQUIRED)
find_package(OpenEXR REQUIRED)
foreach(t ptex_tools ptexmake render)
  string(REPLACE "_" "-" name "test-${t}")
  add_executable(${name} ${CMAKE_CURRENT_LIST_DIR}/${t}_test.cpp)
  target_compile_definitions(${name} PRIVATE ZENTO_TESTDATA_DIR="${ZENTO_TESTDATA_DIR}")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
endforeach()
target_link_libraries(test-ptex-tools PRIVATE ptex_make_core toolcommon GTest::gtest_main)
target_compile_definitions(test-ptex-tools PRIVATE PTEX_INFO_BIN="$<TARGET_FILE:ptex-info>"
                                                   PTEX_CONVERT_BIN="$<TARGET_FILE:ptex-convert>"
                                                   PTEX_MAKE_EXE="$<TARGET_FILE:ptex-make>"
                                                   ZENTO_RENDER_EXE="$<TARGET_FILE:zento-render>"
                                                   ZENTO_INFO_EXE="$<TARGET_FILE:zento-info>")
add_dependencies(test-ptex-tools ptex-info ptex-convert ptex-make zento-render zento-info)
target_link_libraries(test-ptexmake PRIVATE ptex_make_core nlohmann_json::nlohmann_json GTest::gtest_main)
target_compile_definitions(test-ptexmake PRIVATE PTEX_MAKE_EXE="$<TARGET_FILE:ptex-make>")
add_dependencies(test-ptexmake ptex-make)
target_link_libraries(test-render PRIVATE zento_render_core ptex_make_core OpenEXR::OpenEXR GTest::gtest_main)
target_compile_definitions(test-render PRIVATE ZENTO_PLUGIN_FILE="$<TARGET_FILE:zento_TexFacet>"
                                               ZENTO_RENDER_EXE="$<TARGET_FILE:zento-render>")
add_dependencies(test-render zento_TexFacet zento-render)
