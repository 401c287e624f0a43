# SPDX-License-Identifier: MIT
# Renders a manual page with every groff warning on; any output fails. With
# PROGRAM, every option its --help names must stand in the page too.
execute_process(COMMAND groff -man -ww -z ${PAGE}
  RESULT_VARIABLE status ERROR_VARIABLE warnings OUTPUT_VARIABLE output)
if(NOT status EQUAL 0 OR warnings OR output)
  message(FATAL_ERROR "groff on ${PAGE}: ${status}\n${warnings}${output}")
endif()
if(PROGRAM)
  execute_process(COMMAND ${PROGRAM} --help OUTPUT_VARIABLE help ERROR_VARIABLE help)
  file(READ ${PAGE} roff)
  string(REGEX MATCHALL "--[a-z][a-z-]*" options "${help}")
  list(REMOVE_DUPLICATES options)
  foreach(option ${options})
    string(REPLACE "-" "\\-" written "${option}")
    string(FIND "${roff}" "${written}" at)
    if(at LESS 0)
      message(FATAL_ERROR "${PAGE} does not name ${option}, which --help does")
    endif()
  endforeach()
endif()
