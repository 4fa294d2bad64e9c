# Original-mesh model and face mapping (the golden meshes are read with
# nlohmann_json). The face-start table test runs threads and replaces the global
# operator new.
find_package(nlohmann_json REQUIRED)
add_executable(test-origmesh ${CMAKE_CURRENT_LIST_DIR}/orig_mesh_test.cpp
                             ${CMAKE_CURRENT_LIST_DIR}/face_basis_table_test.cpp
                             ${CMAKE_CURRENT_LIST_DIR}/golden_mesh_test.cpp)
target_link_libraries(test-origmesh PRIVATE nlohmann_json::nlohmann_json)
add_executable(test-origmesh-threads ${CMAKE_CURRENT_LIST_DIR}/face_start_table_test.cpp)
foreach(t test-origmesh test-origmesh-threads)
  target_link_libraries(${t} PRIVATE zt_origmesh zento GTest::gtest_main Threads::Threads)
  target_compile_definitions(${t} PRIVATE ZENTO_TESTDATA_DIR="${ZENTO_TESTDATA_DIR}")
endforeach()
gtest_discover_tests(test-origmesh DISCOVERY_TIMEOUT 60)
gtest_discover_tests(test-origmesh-threads DISCOVERY_TIMEOUT 60 PROPERTIES LABELS threads)
