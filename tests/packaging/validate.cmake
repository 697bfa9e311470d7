# Runs a validator on a file and fails on any error or warning it reports.
#   cmake -DTOOL=<program> [-DOPTIONS=<a;b>] -DFILE=<file> [-DFAIL_PATTERN=<regex>] -P validate.cmake
# Prints "SKIPPED:" when the validator is not installed.
find_program(tool_path ${TOOL})
if(NOT tool_path)
    message("SKIPPED: ${TOOL} not found; scripts/test installs it")
    return()
endif()
execute_process(COMMAND ${tool_path} ${OPTIONS} ${FILE}
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
message("${output}")
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${TOOL} rejects ${FILE} (exit code ${result})")
endif()
if(FAIL_PATTERN AND output MATCHES "${FAIL_PATTERN}")
    message(FATAL_ERROR "${TOOL} complains about ${FILE}")
endif()
