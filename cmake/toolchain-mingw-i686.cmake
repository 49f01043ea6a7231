# Cross-compiling for 32-bit Windows.
set(KALVORIN_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
