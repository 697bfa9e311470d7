# The shipped program file is a 32-bit one whose manifest (plain XML inside the
# file) asks for no execution level, not even asInvoker: only such a program
# does Windows give the game's view of Program Files (file virtualization), so
# that its renames act on the level files the game sees. It uses the 4 GB a
# 32-bit program may have on 64-bit Windows, for large logs, and the address
# randomization and data execution prevention of the Windows loader. Every
# library that the program and its plugins import is in its folder or is one of
# Windows' own (Wine's copies of them in SYSTEM, or API sets), so the folder
# runs on its own.
# Run with cmake -DOBJDUMP=... -DFOLDER=... -DPROGRAM=<file name> -DSYSTEM=... -P.
cmake_minimum_required(VERSION 3.19)
execute_process(COMMAND ${OBJDUMP} -p ${FOLDER}/${PROGRAM} OUTPUT_VARIABLE header)
file(STRINGS ${FOLDER}/${PROGRAM} levels REGEX "requestedExecutionLevel|trustInfo")
if(NOT header MATCHES "file format pei-i386" OR NOT header MATCHES "large address aware"
   OR NOT header MATCHES "\tDYNAMIC_BASE\n" OR NOT header MATCHES "\tNX_COMPAT\n"
   OR levels)
    message(FATAL_ERROR "Not a large-address-aware, randomized 32-bit program without an "
                        "execution level:\n${header}${levels}")
endif()

file(GLOB_RECURSE shipped RELATIVE ${FOLDER} ${FOLDER}/*.dll ${FOLDER}/*.exe)
file(GLOB system RELATIVE ${SYSTEM} ${SYSTEM}/*.dll)
list(TRANSFORM shipped REPLACE ".*/" "")
list(APPEND system ${shipped})
list(TRANSFORM system TOLOWER)
foreach(binary IN LISTS shipped)
    file(GLOB_RECURSE path ${FOLDER}/*/${binary} ${FOLDER}/${binary})
    execute_process(COMMAND ${OBJDUMP} -p ${path} OUTPUT_VARIABLE dump)
    string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
    list(TRANSFORM imports REPLACE "DLL Name: " "")
    list(TRANSFORM imports TOLOWER)
    foreach(import IN LISTS imports)
        # API sets (api-ms-win-...) are names the Windows loader resolves itself.
        if(NOT import IN_LIST system AND NOT import MATCHES "^api-ms-win-")
            message(FATAL_ERROR "${binary} imports ${import}, which is neither shipped nor Windows' own")
        endif()
    endforeach()
endforeach()
