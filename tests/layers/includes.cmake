# cmake -DROOT=dir -P includes.cmake
# No include of the project's sources climbs out of the including file's
# folder, where the include folders that keep the layers apart would not
# stop it. The rule: a quoted include names a header by its path from the
# project's root ("inspect/LineSteps.h") or by its path from the including
# file's own folder ("Texto.h"); no include, quoted or angled, holds a ".."
# step (even one that would come back down) or starts at the root of a file
# system.

# The C, C++, resource and configured sources in dir and below, but in hidden
# folders, build trees (a folder that holds a CMakeCache.txt, even inside one
# that does not) and what is reached through a link.
function(collect dir out)
  set(found)
  file(GLOB entries "${dir}/*")
  foreach(entry ${entries})
    get_filename_component(name "${entry}" NAME)
    if(IS_SYMLINK "${entry}" OR name MATCHES "^\\.")
      continue()
    elseif(IS_DIRECTORY "${entry}")
      if(NOT EXISTS "${entry}/CMakeCache.txt")
        collect("${entry}" below)
        list(APPEND found ${below})
      endif()
    elseif(name MATCHES "\\.(c|cc|cpp|cxx|h|hh|hpp|hxx|inc|inl|ipp|rc|in)$")
      list(APPEND found "${entry}")
    endif()
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

collect("${ROOT}" sources)
if(NOT sources)
  message(FATAL_ERROR "no sources under ${ROOT}")
endif()

set(climbing)
foreach(source ${sources})
  file(STRINGS "${source}" lines REGEX "^[ \t]*#[ \t]*include")
  foreach(line ${lines})
    if(line MATCHES "^[ \t]*#[ \t]*include[_a-z]*[ \t]*[\"<]([^\">]*)[\">]")
      string(REPLACE "\\" "/" path "${CMAKE_MATCH_1}")
      if(path MATCHES "(^|/)\\.\\.(/|$)" OR path MATCHES "^/" OR path MATCHES "^[A-Za-z]:")
        file(RELATIVE_PATH where "${ROOT}" "${source}")
        string(APPEND climbing "\n  ${where}: ${line}")
      endif()
    endif()
  endforeach()
endforeach()
if(climbing)
  message(FATAL_ERROR "includes that climb out of their folder (name a header from the project's root):${climbing}")
endif()
