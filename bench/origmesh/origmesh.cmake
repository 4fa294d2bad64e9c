# Face mapping per shading point: own model and host interface, quads and sub-faces.
add_executable(bench-origmesh ${CMAKE_CURRENT_LIST_DIR}/face_mapping_bench.cpp)
target_link_libraries(bench-origmesh PRIVATE zt_origmesh zento benchmark::benchmark)
