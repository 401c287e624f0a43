# SPDX-License-Identifier: MIT
# Renders a manual page with every groff warning on; any output fails.
execute_process(COMMAND groff -man -ww -z ${PAGE}
  RESULT_VARIABLE status ERROR_VARIABLE warnings OUTPUT_VARIABLE output)
if(NOT status EQUAL 0 OR warnings OR output)
  message(FATAL_ERROR "groff on ${PAGE}: ${status}\n${warnings}${output}")
endif()
