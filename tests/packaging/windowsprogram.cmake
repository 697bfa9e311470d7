# The shipped program file is a 32-bit one that asks for no execution level:
# only such a program does Windows give the game's view of Program Files (file
# virtualization), so that its renames act on the level files the game sees.
# Run with cmake -DOBJDUMP=... -DPROGRAM=... -P.
execute_process(COMMAND ${OBJDUMP} -f ${PROGRAM} OUTPUT_VARIABLE header RESULT_VARIABLE failed)
if(failed OR NOT header MATCHES "file format pei-i386")
    message(FATAL_ERROR "Not a 32-bit Windows program:\n${header}")
endif()
# A manifest is plain XML inside the file; an execution level, even asInvoker,
# turns virtualization off.
file(STRINGS ${PROGRAM} levels REGEX "requestedExecutionLevel|trustInfo")
if(levels)
    message(FATAL_ERROR "The program's manifest asks for an execution level:\n${levels}")
endif()
