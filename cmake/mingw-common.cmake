# Cross-compiling for Windows with Debian's MinGW-w64 toolchain; the
# architecture comes from the file that includes this one. The posix
# thread model gives std::mutex and std::thread.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${KALVORIN_MINGW_ARCH})
set(TOOLCHAIN_PREFIX ${KALVORIN_MINGW_ARCH}-w64-mingw32)

set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)

# Libraries and headers only from the MinGW root and
# the prefixes listed in KALVORIN_WIN_PREFIX (the third-party builds);
# programs from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX} $ENV{KALVORIN_WIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
