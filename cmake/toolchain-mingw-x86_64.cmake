# Cross-compiling for 64-bit Windows.
set(KALVORIN_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
