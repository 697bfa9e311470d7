# What a file's properties show of the program file: its version record,
# compiled and read back by the MinGW resource compiler and compared whole, and
# its icon, compared with the main window's.
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/shortversion.cmake)

# The short version takes the minor number as two digits.
foreach(case 1.5=1.05 1.12=1.12 12.3=12.03)
    string(REGEX MATCH "^([0-9]+)\\.([0-9]+)=(.+)$" _ ${case})
    vr_short_version(short ${CMAKE_MATCH_1} ${CMAKE_MATCH_2})
    if(NOT short STREQUAL CMAKE_MATCH_3)
        message(FATAL_ERROR "version ${CMAKE_MATCH_1}.${CMAKE_MATCH_2} reads \"${short}\"")
    endif()
endforeach()

find_program(windres NAMES i686-w64-mingw32-windres x86_64-w64-mingw32-windres)
find_program(compare compare)
if(NOT windres OR NOT compare)
    message("SKIPPED: needs a MinGW windres and ImageMagick; scripts/test installs them")
    return()
endif()
# The host compiler preprocesses, so no MinGW compiler is needed.
execute_process(COMMAND ${windres} --preprocessor=${CPP} --preprocessor-arg=-E
    --preprocessor-arg=-xc --preprocessor-arg=-DRC_INVOKED -O res ${RECORD} ${SCRATCH}.res
    COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${windres} -J res -O rc ${SCRATCH}.res OUTPUT_VARIABLE record
    COMMAND_ERROR_IS_FATAL ANY)
# The lines that say something; the image's pixels are compared below.
string(REGEX REPLACE " ?/\\*[^*]*\\*/|0x[0-9a-f]+L, 1" "" record "${record}")
string(REGEX MATCHALL "(LANGUAGE|FILE|PRODUCT|BLOCK \"0|VALUE|\"\\\\|[0-9]+ [0-9]+ +M)[^\n]*"
    lines "${record}")
list(TRANSFORM lines STRIP)
string(JOIN "\n" record ${lines})

string(REGEX MATCH "^([0-9]+)\\.([0-9]+)\\.([0-9]+)$" _ ${VERSION})
set(four "${CMAKE_MATCH_1}, ${CMAKE_MATCH_2}, ${CMAKE_MATCH_3}, 0")
vr_short_version(short ${CMAKE_MATCH_1} ${CMAKE_MATCH_2})
file(STRINGS ${LICENSE} copyright REGEX "^Copyright" LIMIT_COUNT 1)
# Every resource in U.S. English; one icon, 32 x 32 in 256 colours; an
# application for Windows NT, no debug, pre-release or patched build; one
# string table, in U.S. English and Unicode as its translation entry says.
set(expected "LANGUAGE 9, 1
1 3 MOVEABLE DISCARDABLE
1 14 MOVEABLE DISCARDABLE
\"\\040\\040\\000\\000\", 1, 8,
FILEVERSION ${four}
PRODUCTVERSION ${four}
FILEFLAGSMASK 0x3f
FILEOS 0x40004
FILETYPE 0x1
BLOCK \"040904B0\"
VALUE \"CompanyName\", \"The Vantorel Renamer developers\"
VALUE \"FileDescription\", \"Vantorel Renamer\"
VALUE \"FileVersion\", \"${short}\"
VALUE \"InternalName\", \"Vantorel Renamer\"
VALUE \"LegalCopyright\", \"${copyright}\"
VALUE \"OriginalFilename\", \"Vantorel Renamer.exe\"
VALUE \"ProductName\", \"Vantorel Renamer\"
VALUE \"ProductVersion\", \"${short}\"
VALUE \"Translation\", 0x409, 1200")
if(NOT record STREQUAL expected)
    message(FATAL_ERROR "The version record reads back as:\n${record}\nnot:\n${expected}")
endif()
execute_process(COMMAND ${compare} -metric AE ${ICON} ${PNG} null: RESULT_VARIABLE differs
    ERROR_VARIABLE pixels)
if(NOT differs EQUAL 0)
    message(FATAL_ERROR "The program file's icon differs from the window's: ${pixels}")
endif()
