# The shipped program file is a 32-bit one whose manifest (plain XML inside the
# file) asks for no execution level, not even asInvoker: only such a program
# does Windows give the game's view of Program Files (file virtualization), so
# that its renames act on the level files the game sees.
# Run with cmake -DOBJDUMP=... -DPROGRAM=... -P.
# It uses the 4 GB a 32-bit program may have on 64-bit Windows, for large logs.
execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM} OUTPUT_VARIABLE header)
file(STRINGS ${PROGRAM} levels REGEX "requestedExecutionLevel|trustInfo")
if(NOT header MATCHES "file format pei-i386" OR NOT header MATCHES "large address aware"
   OR levels)
    message(FATAL_ERROR "Not a large-address-aware 32-bit program without an execution "
                        "level:\n${header}${levels}")
endif()
