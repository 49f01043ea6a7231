# The Windows programs of build/win32/dist and build/win64/dist (built by
# scripts/windows.sh) under Wine. Each architecture has a prefix of its own,
# created afresh by a fixture and used by one test at a time.
set(KALVORIN_WINE_DIR ${CMAKE_BINARY_DIR}/wine)

foreach(bits 32 64)
  set(prefix ${KALVORIN_WINE_DIR}/win${bits})
  add_test(NAME wine_win${bits}_start COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/wine/prefix.sh start ${prefix}
           ${CMAKE_BINARY_DIR}/win${bits}/dist/kalvorin-reg.exe)
  add_test(NAME wine_win${bits}_stop COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/wine/prefix.sh stop ${prefix})
  set_tests_properties(wine_win${bits}_start PROPERTIES FIXTURES_SETUP wine_win${bits} RESOURCE_LOCK wine_win${bits})
  set_tests_properties(wine_win${bits}_stop PROPERTIES FIXTURES_CLEANUP wine_win${bits} RESOURCE_LOCK wine_win${bits})
endforeach()

# kalvorin_wine_test(NAME TARGET LOCKS SOURCES ...): a test program that drives
# Windows programs under the prefixes named in LOCKS (win32, win64).
function(kalvorin_wine_test name target)
  cmake_parse_arguments(W "" "" "LOCKS;SOURCES" ${ARGN})
  add_executable(${name} ${W_SOURCES} support/Target.cpp)
  target_link_libraries(${name} PRIVATE kalvorin_testsupport GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE KALVORIN_E2E_TARGET="${target}"
    KALVORIN_BUILD_DIR="${CMAKE_BINARY_DIR}" KALVORIN_WINE_DIR="${KALVORIN_WINE_DIR}")
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  set(fixtures)
  foreach(l ${W_LOCKS})
    list(APPEND fixtures wine_${l})
  endforeach()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 TEST_PREFIX "${target}."
    PROPERTIES FIXTURES_REQUIRED "${fixtures}" RESOURCE_LOCK "${fixtures}" TIMEOUT 300)
endfunction()

foreach(bits 32 64)
  kalvorin_wine_test(test_e2e_win${bits} win${bits} LOCKS win${bits} SOURCES test_e2e_dist.cpp)
endforeach()
