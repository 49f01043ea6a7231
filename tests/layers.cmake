# The layers hold: a source compiled with a target's include folders finds
# the headers of its own layer and of those below, and none above. Each row:
# a target, "sees" or "blind", a header. A "sees" row beside each "blind" one
# shows that the compile itself works.
set(layer_rows
  "kalvorin_platform sees platform/lock.h"
  "kalvorin_platform blind CodigoComun/Texto.h"
  "kalvorin_common sees CodigoComun/Texto.h"
  "kalvorin_common blind inspect/Evaluation.h"
  # The translator's internals: its own units see them, and nothing else.
  "kalvorin_common sees CodigoComun/TrxParser.h"
  "kalvorin_lint_core sees CodigoComun/TrxFacts.h"
  "kalvorin_lint_core blind CodigoComun/TrxParser.h"
  "kalvorin_lint_core blind CodigoComun/TrxTree.h"
  "kalvorin-host blind CodigoComun/TrxEmitter.h"
  "kalvorin_inspect sees inspect/Comparison.h"
  "kalvorin_inspect blind host/Explain.h"
  # The host reaches the filter language through inspect/ only.
  "kalvorin-host sees inspect/ExplainText.h"
  "kalvorin-host blind CodigoComun/ConfigSys.h"
  "kalvorin-host blind CodigoComun/Texto.h"
  # The programs do not see one another, but for the window's use of the
  # list checker.
  "kalvorin-host blind plugin/Scoring.h"
  "kalvorin_plugin_core sees plugin/Scoring.h"
  "kalvorin_plugin_core blind inspect/Evaluation.h"
  "kalvorin_plugin_core blind host/PluginHost.h"
  "kalvorin_lint_core blind config/Options.h")
if(KALVORIN_BUILD_CONFIG)
  list(APPEND layer_rows
    "kalvorin_config_logic sees tools/Lint.h"
    "kalvorin_config_logic blind host/Filter.h"
    "kalvorin_config_logic blind CodigoComun/TrxEmitter.h")
endif()
foreach(row ${layer_rows})
  separate_arguments(row UNIX_COMMAND "${row}")
  list(GET row 0 target)
  list(GET row 1 expect)
  list(GET row 2 header)
  string(MAKE_C_IDENTIFIER "${target}.${header}" probe)
  add_test(NAME layers.${target}.${expect}.${header}
    COMMAND ${CMAKE_COMMAND} -DCOMPILER=${CMAKE_CXX_COMPILER}
      "-DINCLUDES=$<JOIN:$<TARGET_PROPERTY:${target},INCLUDE_DIRECTORIES>,|>"
      -DTARGET=${target} -DHEADER=${header} -DEXPECT=${expect}
      -DSOURCE=${CMAKE_CURRENT_BINARY_DIR}/layers/${probe}.cpp
      -P ${CMAKE_CURRENT_SOURCE_DIR}/layers/check.cmake)
endforeach()

# No include climbs out of its own folder, which would get past the include
# folders that the rows above hold apart. A tree with one climbing include
# shows that the check finds it.
add_test(NAME layers.includes
  COMMAND ${CMAKE_COMMAND} -DROOT=${CMAKE_SOURCE_DIR} -P ${CMAKE_CURRENT_SOURCE_DIR}/layers/includes.cmake)
set(climbing_tree ${CMAKE_CURRENT_BINARY_DIR}/layers/climbing)
file(WRITE ${climbing_tree}/plugin/Climbs.h "#include \"../host/MessageParts.h\"\n")
add_test(NAME layers.includes.climbing
  COMMAND ${CMAKE_COMMAND} -DROOT=${climbing_tree} -P ${CMAKE_CURRENT_SOURCE_DIR}/layers/includes.cmake)
set_tests_properties(layers.includes.climbing PROPERTIES
  PASS_REGULAR_EXPRESSION "plugin/Climbs.h: #include \"\\.\\./host/MessageParts.h\"")
