# kalvorin_own_runtime(TARGET): the program carries the C++ runtime
# (libstdc++ and libgcc) from their static archives instead of loading the
# shared ones.
#
# The command-line programs are started often (the host once for every
# message it filters), and loading and relocating the shared libstdc++ took
# about 2 ms of each start on a virtual machine, before any work began. The
# plug-in keeps the shared runtime: a copy of its own would leave the
# runtime's emergency exception pool (about 70 KB, which only the shared
# runtime frees) behind at every unloading. Only C types cross the plug-in's
# interface, so the host's copy and the plug-in's never meet.
#
# Not where the sanitizers are built in (their runtime wants the shared
# one), and not where the archives do not link; there the shared runtime is
# used as before.
include_guard(GLOBAL)
include(CheckCXXSourceCompiles)

set(KALVORIN_OWN_RUNTIME_OPTIONS -static-libstdc++ -static-libgcc)
# Decided at every configure: the check's answer is cached, the build's
# options (sanitizers on in a build folder that had them off) are not.
set(KALVORIN_OWN_RUNTIME OFF)
if(NOT WIN32 AND NOT KALVORIN_SANITIZE AND NOT KALVORIN_FUZZ AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  set(CMAKE_REQUIRED_LINK_OPTIONS ${KALVORIN_OWN_RUNTIME_OPTIONS})
  check_cxx_source_compiles("#include <stdexcept>
#include <string>
int main(int argc, char**) {
  try { if (argc > 5) throw std::runtime_error(\"x\"); } catch (const std::exception&) { return 1; }
  return static_cast<int>(std::to_string(argc).size()) - 1;
}"
    KALVORIN_OWN_RUNTIME_LINKS)
  unset(CMAKE_REQUIRED_LINK_OPTIONS)
  if(KALVORIN_OWN_RUNTIME_LINKS)
    set(KALVORIN_OWN_RUNTIME ON)
  endif()
endif()

function(kalvorin_own_runtime target)
  if(KALVORIN_OWN_RUNTIME)
    target_link_options(${target} PRIVATE ${KALVORIN_OWN_RUNTIME_OPTIONS})
  endif()
endfunction()
