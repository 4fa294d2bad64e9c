# Hardening: refused allocations over frame preparation, files that change or
# fail under the cache, and a render of many instances over one small cache.
# Both programs shade on several threads (label `threads`: CI reruns them under
# the thread sanitizer).
if(TARGET zt_plugin AND TARGET zt_engine AND TARGET zt_alloc)
  # Links the module allocator objects, so they are the program's operator new.
  add_executable(test-hardening-alloc ${CMAKE_CURRENT_LIST_DIR}/alloc_fault_test.cpp $<TARGET_OBJECTS:zt_alloc>)
  target_link_libraries(test-hardening-alloc PRIVATE zt_plugin zt_engine Threads::Threads GTest::gtest_main)
  target_compile_definitions(test-hardening-alloc PRIVATE ZENTO_TESTDATA_DIR="${ZENTO_TESTDATA_DIR}")
  gtest_discover_tests(test-hardening-alloc TEST_PREFIX "hardening." DISCOVERY_TIMEOUT 60
                       PROPERTIES LABELS threads)
endif()

if(TARGET zt_plugin AND TARGET zt_engine)
  set(hardening_sources)
  foreach(src file_fault_test.cpp load_test.cpp)
    if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/${src})
      list(APPEND hardening_sources ${CMAKE_CURRENT_LIST_DIR}/${src})
    endif()
  endforeach()
  if(hardening_sources)
    add_executable(test-hardening ${hardening_sources})
    target_link_libraries(test-hardening PRIVATE zt_plugin zt_engine Threads::Threads GTest::gtest_main)
    target_compile_definitions(test-hardening PRIVATE ZENTO_TESTDATA_DIR="${ZENTO_TESTDATA_DIR}")
    gtest_discover_tests(test-hardening TEST_PREFIX "hardening." DISCOVERY_TIMEOUT 60 PROPERTIES LABELS threads)
  endif()
endif()
