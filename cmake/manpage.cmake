# Writes a program's manual page from its own --help and --version, so that
# the page says what the program does. Run as
#   cmake -DPROGRAM=path -DNAME=name -DSUMMARY=text -DTAIL=roff-file -DOUTPUT=page -P manpage.cmake
# The help text goes in verbatim, in a block that keeps its lines and columns;
# TAIL (FILES, SEE ALSO) follows as it is.
function(run_program option out)
  execute_process(COMMAND ${PROGRAM} ${option} OUTPUT_VARIABLE text RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR text STREQUAL "")
    message(FATAL_ERROR "${PROGRAM} ${option} failed (${status})")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Text as roff: backslashes and hyphens as escapes, a line that begins with
# a control character made plain.
function(as_roff text out)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(REGEX REPLACE "\n([.'])" "\n\\\\&\\1" text "\n${text}")
  string(SUBSTRING "${text}" 1 -1 text)
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

run_program(--help help)
run_program(--version version)
string(STRIP "${version}" version)
string(TOUPPER "${NAME}" title)
as_roff("${help}" help)
as_roff("${NAME}" name)
as_roff("${SUMMARY}" summary)
file(READ ${TAIL} tail)
file(WRITE ${OUTPUT} ".TH ${title} 1 \"\" \"${version}\" \"User Commands\"
.SH NAME
${name} \\- ${summary}
.SH DESCRIPTION
.nf
${help}.fi
${tail}")
