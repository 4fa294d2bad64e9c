# Original-mesh model and face mapping.
if(TARGET zt_origmesh)
  find_package(nlohmann_json QUIET)
  set(origmesh_test_sources
    ${CMAKE_CURRENT_LIST_DIR}/plane_solve_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/orig_mesh_model_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/face_mapping_test.cpp)
  if(nlohmann_json_FOUND)
    list(APPEND origmesh_test_sources ${CMAKE_CURRENT_LIST_DIR}/golden_mesh_test.cpp)
  endif()
  add_executable(test-origmesh ${origmesh_test_sources})
  target_link_libraries(test-origmesh PRIVATE zt_origmesh zento GTest::gtest_main)
  if(nlohmann_json_FOUND)
    target_link_libraries(test-origmesh PRIVATE nlohmann_json::nlohmann_json)
  endif()
  target_compile_definitions(test-origmesh PRIVATE ZENTO_TESTDATA_DIR="${ZENTO_TESTDATA_DIR}")
  gtest_discover_tests(test-origmesh DISCOVERY_TIMEOUT 60)

  add_executable(test-origmesh-threads ${CMAKE_CURRENT_LIST_DIR}/face_start_threads_test.cpp)
  target_link_libraries(test-origmesh-threads PRIVATE zt_origmesh zento GTest::gtest_main Threads::Threads)
  target_compile_definitions(test-origmesh-threads PRIVATE ZENTO_TESTDATA_DIR="${ZENTO_TESTDATA_DIR}")
  gtest_discover_tests(test-origmesh-threads DISCOVERY_TIMEOUT 60 PROPERTIES LABELS threads)
endif()

# Refused allocations (the test replaces the global operator new).
if(TARGET zt_origmesh)
  add_executable(test-origmesh-alloc ${CMAKE_CURRENT_LIST_DIR}/allocation_failure_test.cpp)
  target_link_libraries(test-origmesh-alloc PRIVATE zt_origmesh zento GTest::gtest_main Threads::Threads)
  target_compile_definitions(test-origmesh-alloc PRIVATE ZENTO_TESTDATA_DIR="${ZENTO_TESTDATA_DIR}")
  gtest_discover_tests(test-origmesh-alloc DISCOVERY_TIMEOUT 60)
endif()
