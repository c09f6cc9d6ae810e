# One golden replay: korvane-replay must re-run REPLAY to exactly the JSON
# line kept in EXPECTED, and exit 0.
#   cmake -DRUNNER=... -DREPLAY=... -DEXPECTED=... -P check_golden.cmake
execute_process(COMMAND ${RUNNER} ${REPLAY}
  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)
file(READ ${EXPECTED} expected)
string(STRIP "${out}" out)
string(STRIP "${expected}" expected)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "korvane-replay exited ${status} on ${REPLAY}:\n${err}")
endif()
if(NOT out STREQUAL expected)
  message(FATAL_ERROR "${REPLAY} re-ran to\n  ${out}\ninstead of\n  ${expected}")
endif()
