# The unit suite of a Windows build (build/win32, build/win64), run under Wine.
# Only the programs that need nothing of Linux: not GMime, the SQLite settings
# file, procmail or maildrop, valgrind, nor the native programs started as
# children. Each program is one CTest test ("win64.test_evalua"), so that its
# cases share one start of Wine, which takes seconds.

# GoogleTest from Debian's own source (package googletest), built with the
# cross compiler; it provides the GTest:: names of the Linux suite.
set(KALVORIN_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's source, built for Windows")
if(NOT EXISTS ${KALVORIN_GTEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "No GoogleTest source in ${KALVORIN_GTEST_SOURCE}: install Debian's googletest package")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${KALVORIN_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

math(EXPR bits "${CMAKE_SIZEOF_VOID_P} * 8")
set(KALVORIN_WIN_SUITE win${bits})
set(KALVORIN_WINE ${CMAKE_SOURCE_DIR}/scripts/wine.sh)

# Every test program starts through scripts/wine.sh (which runs the 32-bit
# ones under user-mode emulation where the kernel cannot execute them), in a
# prefix of this build's own that a fixture creates afresh and removes at the
# end.
set(CMAKE_CROSSCOMPILING_EMULATOR ${KALVORIN_WINE})
set(KALVORIN_UNIT_PREFIX ${CMAKE_BINARY_DIR}/wine-unit)
add_test(NAME ${KALVORIN_WIN_SUITE}.prefix_start
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/wine/prefix.sh start ${KALVORIN_UNIT_PREFIX} $<TARGET_FILE:kalvorin-reg>)
add_test(NAME ${KALVORIN_WIN_SUITE}.prefix_stop
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/wine/prefix.sh stop ${KALVORIN_UNIT_PREFIX})
set_tests_properties(${KALVORIN_WIN_SUITE}.prefix_start PROPERTIES FIXTURES_SETUP wine_unit)
set_tests_properties(${KALVORIN_WIN_SUITE}.prefix_stop PROPERTIES FIXTURES_CLEANUP wine_unit)

add_library(kalvorin_testsupport STATIC support/TestSupport.cpp support/TestSupportWin.cpp)
target_link_libraries(kalvorin_testsupport PUBLIC kalvorin_common GTest::gtest)
target_include_directories(kalvorin_testsupport PUBLIC ${CMAKE_SOURCE_DIR}/tests)
target_compile_definitions(kalvorin_testsupport PUBLIC KALVORIN_DIST="${KALVORIN_DIST}")

# kalvorin_test(NAME SOURCES ... LIBS ... [STORE] [WINDOW]): one GoogleTest
# program and its CTest test. STORE: it writes the settings store, the
# prefix's registry key HKCU\Software\kalvorin, so no two such programs run
# at once. WINDOW: it shows the window, on the offscreen platform.
function(kalvorin_test name)
  cmake_parse_arguments(T "STORE;WINDOW" "" "SOURCES;LIBS" ${ARGN})
  kalvorin_test_program(${name} SOURCES ${T_SOURCES} LIBS ${T_LIBS})
  if(T_WINDOW)
    qt_import_plugins(${name} INCLUDE Qt6::QOffscreenIntegrationPlugin)
  endif()
  set(test ${KALVORIN_WIN_SUITE}.${name})
  add_test(NAME ${test} COMMAND ${name})
  set_tests_properties(${test} PROPERTIES FIXTURES_REQUIRED wine_unit TIMEOUT 300
    ENVIRONMENT "WINEPREFIX=${KALVORIN_UNIT_PREFIX};WINEDEBUG=-all;LC_ALL=C;WINEDLLOVERRIDES=mscoree,mshtml=;QT_QPA_PLATFORM=offscreen")
  if(T_STORE)
    set_tests_properties(${test} PROPERTIES RESOURCE_LOCK kalvorin_store)
  endif()
endfunction()

# Those that need no settings store.
kalvorin_test(test_evalua SOURCES test_evalua.cpp LIBS kalvorin_common)
kalvorin_test(test_textset SOURCES test_textset.cpp LIBS kalvorin_common)
kalvorin_test(test_trx SOURCES test_trx.cpp test_trx_facts.cpp LIBS kalvorin_common)
kalvorin_test(test_regexpr SOURCES test_regexpr.cpp test_regexpr_random.cpp test_regexpr_tables.cpp
  LIBS kalvorin_common)
# Both drive the translator's internals, which no other unit sees.
target_include_directories(test_trx PRIVATE ${KALVORIN_LAYERS}/trx)
target_include_directories(test_regexpr PRIVATE ${KALVORIN_LAYERS}/trx)
kalvorin_test(test_logqueue SOURCES test_logqueue.cpp LIBS kalvorin_testsupport)
kalvorin_test(test_platform SOURCES test_platform.cpp LIBS kalvorin_testsupport)
kalvorin_test(test_lint SOURCES test_lint.cpp test_lint_random.cpp LIBS kalvorin_lint_core kalvorin_testsupport)

# Those that read or write the settings.
kalvorin_test(test_registry SOURCES test_registry.cpp test_configsys.cpp LIBS kalvorin_common_write kalvorin_testsupport STORE)
kalvorin_test(test_capturaspam SOURCES test_capturaspam.cpp LIBS kalvorin_testsupport STORE)
kalvorin_test(test_filter_random SOURCES test_filter_random.cpp LIBS kalvorin_testsupport STORE)
kalvorin_test(test_scoring_equivalence SOURCES test_scoring_equivalence.cpp
  LIBS kalvorin_plugin_core kalvorin_common_write kalvorin_testsupport STORE)
# The built plug-in (dist/Kalvorin.TBP), loaded into the test program.
kalvorin_test(test_logreader SOURCES test_logreader.cpp LIBS kalvorin_inspect kalvorin_host_core kalvorin_testsupport STORE)
add_dependencies(test_logreader kalvorin_tbp)
kalvorin_test(test_plugin SOURCES test_plugin.cpp LIBS kalvorin_plugin_core kalvorin_common_write kalvorin_testsupport STORE)

# The configuration window, offscreen: the static Qt is built for 64-bit
# Windows only, and carries the offscreen platform plug-in.
if(KALVORIN_BUILD_CONFIG)
  # Qt's imported targets, for qt_import_plugins in this folder.
  find_package(Qt6 REQUIRED COMPONENTS Widgets)
  # The window's logic without Qt; its library comes with the window's.
  kalvorin_test(test_config_logic SOURCES config/test_logic.cpp LIBS kalvorin_config_logic kalvorin_testsupport STORE)
  add_library(kalvorin_config_testsupport STATIC config/WindowFixture.cpp)
  target_link_libraries(kalvorin_config_testsupport PUBLIC kalvorin_config_core kalvorin_testsupport)
  set(window_tests config/test_window.cpp config/test_conversion.cpp config/test_layout.cpp)
  kalvorin_test(test_config_window SOURCES ${window_tests} LIBS kalvorin_config_testsupport STORE WINDOW)
  # With Windows' own case: a list held open by another program.
  kalvorin_test(test_config_save SOURCES config/test_save.cpp config/test_save_held.cpp
    LIBS kalvorin_config_testsupport STORE WINDOW)
  kalvorin_test(test_config_filtertest SOURCES config/test_filtertest.cpp LIBS kalvorin_config_testsupport STORE WINDOW)
  kalvorin_test(test_config_editor SOURCES config/test_editor.cpp LIBS kalvorin_config_testsupport STORE WINDOW)
  kalvorin_test(test_config_bulk SOURCES config/test_bulk.cpp LIBS kalvorin_config_testsupport STORE WINDOW)
  kalvorin_test(test_config_checks SOURCES config/test_checks.cpp LIBS kalvorin_config_testsupport STORE WINDOW)
  kalvorin_test(test_config_background SOURCES config/test_background.cpp LIBS kalvorin_config_testsupport STORE WINDOW)
endif()
