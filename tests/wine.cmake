# The Windows programs of build/win32/dist and build/win64/dist (built by
# scripts/windows.sh) under Wine. Each architecture has a prefix of its own,
# created afresh by a fixture. The settings live in the prefix's registry, so
# Wine tests run one at a time (one lock for all: a discovered test takes only
# single-valued properties). Wine runs through scripts/wine.sh, which picks the
# loader.
set(KALVORIN_WINE_DIR ${CMAKE_BINARY_DIR}/wine)
set(KALVORIN_WINE ${CMAKE_SOURCE_DIR}/scripts/wine.sh)

# Both architectures run everywhere: where the kernel cannot execute 32-bit
# programs, scripts/wine.sh runs the 32-bit ones under user-mode emulation.
set(KALVORIN_WINE_BITS 32 64)

foreach(bits ${KALVORIN_WINE_BITS})
  set(prefix ${KALVORIN_WINE_DIR}/win${bits})
  add_test(NAME wine_win${bits}_start COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/wine/prefix.sh start ${prefix}
           ${CMAKE_BINARY_DIR}/win${bits}/dist/kalvorin-reg.exe)
  add_test(NAME wine_win${bits}_stop COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/wine/prefix.sh stop ${prefix})
  set_tests_properties(wine_win${bits}_start PROPERTIES FIXTURES_SETUP "wine_win${bits};wine_all")
  set_tests_properties(wine_win${bits}_stop PROPERTIES FIXTURES_CLEANUP "wine_win${bits};wine_all")
endforeach()

# kalvorin_wine_test(NAME TARGET PREFIX P SOURCES ...): a test program that
# drives Windows programs under prefix P (win32, win64 or all).
function(kalvorin_wine_test name target)
  cmake_parse_arguments(W "" "PREFIX" "SOURCES" ${ARGN})
  add_executable(${name} ${W_SOURCES} support/Target.cpp)
  target_link_libraries(${name} PRIVATE kalvorin_testsupport GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  string(REPLACE ";" "," bits "${KALVORIN_WINE_BITS}")
  target_compile_definitions(${name} PRIVATE KALVORIN_E2E_TARGET="${target}"
    KALVORIN_BUILD_DIR="${CMAKE_BINARY_DIR}" KALVORIN_WINE_DIR="${KALVORIN_WINE_DIR}"
    KALVORIN_WINE="${KALVORIN_WINE}" KALVORIN_WINE_BITS=${bits})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 TEST_PREFIX "${target}."
    PROPERTIES FIXTURES_REQUIRED wine_${W_PREFIX} RESOURCE_LOCK wine TIMEOUT 300)
endfunction()

foreach(bits ${KALVORIN_WINE_BITS})
  kalvorin_wine_test(test_e2e_win${bits} win${bits} PREFIX win${bits} SOURCES test_e2e_dist.cpp)
  # kalvorin-lint.exe, held to the native kalvorin-lint's report.
  kalvorin_wine_test(test_e2e_lint_win${bits} win${bits} PREFIX win${bits} SOURCES test_e2e_lint_win.cpp)
  add_dependencies(test_e2e_lint_win${bits} kalvorin-lint kalvorin-reg)
endforeach()

kalvorin_wine_test(test_cross_platform linux PREFIX all SOURCES test_cross_platform.cpp)
add_dependencies(test_cross_platform kalvorin_tbp kalvorin-host kalvorin-reg dist_resources)

# Kalvorin.exe is built for 64-bit Windows only (scripts/windows.sh).
kalvorin_wine_test(test_e2e_config_win64 win64 PREFIX win64 SOURCES test_e2e_config_win.cpp)
# Its checks are held to the native window's.
add_dependencies(test_e2e_config_win64 Kalvorin kalvorin_tbp kalvorin-host kalvorin-reg dist_resources)

# What only Windows users meet: accented folders, files held open without
# sharing, and both architectures' plug-ins in one prefix, which runs the
# 32-bit programs too where this machine does.
kalvorin_wine_test(test_e2e_windows_cases win64 PREFIX win64 SOURCES test_e2e_windows_cases.cpp)

# The headers and exports of both architectures' programs, read with objdump:
# no Wine needed, so the 32-bit programs are checked where they cannot run.
kalvorin_test(test_win_binaries SOURCES test_win_binaries.cpp LIBS kalvorin_testsupport)
target_compile_definitions(test_win_binaries PRIVATE KALVORIN_BUILD_DIR="${CMAKE_BINARY_DIR}")

# The installer (build/kalvorin-setup.exe, scripts/windows.sh) in a fresh
# prefix of its own: a silent install, the installed plug-in scoring, and a
# silent uninstall.
add_test(NAME wine_installer_start COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/wine/prefix.sh start
         ${KALVORIN_WINE_DIR}/installer ${CMAKE_BINARY_DIR}/win64/dist/kalvorin-reg.exe)
add_test(NAME wine_installer_stop COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/wine/prefix.sh stop ${KALVORIN_WINE_DIR}/installer)
set_tests_properties(wine_installer_start PROPERTIES FIXTURES_SETUP wine_installer)
set_tests_properties(wine_installer_stop PROPERTIES FIXTURES_CLEANUP wine_installer)
kalvorin_wine_test(test_installer win64 PREFIX installer SOURCES test_installer.cpp)
