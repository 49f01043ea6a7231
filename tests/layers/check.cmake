# cmake -DCOMPILER=... -DINCLUDES=dir|dir... -DTARGET=... -DHEADER=... -DEXPECT=sees|blind -DSOURCE=... -P check.cmake
# Compiles SOURCE, a file that includes HEADER and nothing else, with the
# include folders of TARGET. "sees": it compiles; "blind": the compiler finds
# no HEADER, which fails it.
string(REPLACE "|" ";" includes "${INCLUDES}")
set(flags)
foreach(dir ${includes})
  list(APPEND flags -I${dir})
endforeach()
file(WRITE ${SOURCE} "#include \"${HEADER}\"\n")
execute_process(COMMAND ${COMPILER} -std=c++20 -fsyntax-only ${flags} ${SOURCE}
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(EXPECT STREQUAL "sees")
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${TARGET} should see ${HEADER}, but it does not compile:\n${out}")
  endif()
elseif(EXPECT STREQUAL "blind")
  if(status EQUAL 0)
    message(FATAL_ERROR "${TARGET} should not see ${HEADER}, but it compiles")
  endif()
  # GCC's and clang's words for a missing include.
  string(FIND "${out}" "${HEADER}: No such file or directory" gcc_missing)
  string(FIND "${out}" "'${HEADER}' file not found" clang_missing)
  if(gcc_missing EQUAL -1 AND clang_missing EQUAL -1)
    message(FATAL_ERROR "${TARGET} should not see ${HEADER}; it fails, but not for want of it:\n${out}")
  endif()
else()
  message(FATAL_ERROR "EXPECT is sees or blind, not '${EXPECT}'")
endif()
