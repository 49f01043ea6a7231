# kalvorin_own_runtime(TARGET): the target carries the C++ runtime (libstdc++
# and libgcc) from their static archives instead of loading the shared ones.
#
# The command-line programs are started often (the host once for every
# message it filters), and loading and relocating the shared libstdc++ took
# about 2 ms of each start on a virtual machine, before any work began. The plug-in carries its own copy too,
# or it would load the shared one at once: only its nine exports are dynamic
# symbols, so the two copies never meet, and none of the runtime's objects
# crosses the plug-in's C interface.
#
# Not where the sanitizers are built in (their runtime wants the shared
# one), and not where the archives do not link into a shared library; there
# the shared runtime is used as before.
include_guard(GLOBAL)
include(CheckCXXSourceCompiles)

set(KALVORIN_OWN_RUNTIME_OPTIONS -static-libstdc++ -static-libgcc)
# Decided at every configure: the check's answer is cached, the build's
# options (sanitizers on in a build folder that had them off) are not.
set(KALVORIN_OWN_RUNTIME OFF)
if(NOT WIN32 AND NOT KALVORIN_SANITIZE AND NOT KALVORIN_FUZZ AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  # A shared object of position-independent code, as the plug-in is (the
  # check would otherwise be built as an executable's code).
  set(_kalvorin_pic ${CMAKE_POSITION_INDEPENDENT_CODE})
  set(CMAKE_POSITION_INDEPENDENT_CODE OFF)
  set(CMAKE_REQUIRED_FLAGS -fPIC)
  set(CMAKE_REQUIRED_LINK_OPTIONS -shared ${KALVORIN_OWN_RUNTIME_OPTIONS})
  check_cxx_source_compiles("#include <string>
#include <stdexcept>
std::string f(int n) { if (n < 0) throw std::runtime_error(\"x\"); return std::to_string(n); }"
    KALVORIN_OWN_RUNTIME_LINKS)
  unset(CMAKE_REQUIRED_FLAGS)
  unset(CMAKE_REQUIRED_LINK_OPTIONS)
  set(CMAKE_POSITION_INDEPENDENT_CODE ${_kalvorin_pic})
  if(KALVORIN_OWN_RUNTIME_LINKS)
    set(KALVORIN_OWN_RUNTIME ON)
  endif()
endif()

function(kalvorin_own_runtime target)
  if(KALVORIN_OWN_RUNTIME)
    target_link_options(${target} PRIVATE ${KALVORIN_OWN_RUNTIME_OPTIONS})
  endif()
endfunction()
