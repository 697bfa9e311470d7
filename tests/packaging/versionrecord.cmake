# What a file's properties show of the program file: its version record as the
# MinGW resource compiler reads it, and its icon, compared pixel by pixel with
# the main window's, all in one listing.
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/shortversion.cmake)

# The short version takes the minor number as two digits.
vr_short_version(a 1 12)
vr_short_version(b 12 3)
if(NOT "${a} ${b}" STREQUAL "1.12 12.03")
    message(FATAL_ERROR "Versions 1.12 and 12.3 read ${a} ${b}")
endif()

find_program(windres NAMES i686-w64-mingw32-windres x86_64-w64-mingw32-windres)
find_program(compare compare)
if(NOT windres OR NOT compare)
    message("SKIPPED: needs a MinGW windres and ImageMagick; scripts/test installs them")
    return()
endif()
# The host compiler preprocesses, so no MinGW compiler is needed.
execute_process(COMMAND ${windres} --preprocessor=${CPP} --preprocessor-arg=-E
    --preprocessor-arg=-xc --preprocessor-arg=-DRC_INVOKED -O rc ${RECORD} OUTPUT_VARIABLE record
    COMMAND_ERROR_IS_FATAL ANY)
# The lines that say something, and how many pixels of the icon differ.
string(REGEX REPLACE " ?/\\*[^*]*\\*/|0x[0-9a-f]+L, 1" "" record "${record}")
string(REGEX MATCHALL "(LANGUAGE|FILE|PRODUCT|BLOCK \"0|VALUE|\"\\\\|[0-9]+ [0-9]+ +M)[^\n]*"
    lines "${record}")
list(TRANSFORM lines STRIP)
execute_process(COMMAND ${compare} -metric AE ${ICON} ${PNG} null: ERROR_VARIABLE pixels)
string(JOIN "\n" record ${lines} "icon pixels unlike the window's: ${pixels}")

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
VALUE \"Translation\", 0x409, 1200
icon pixels unlike the window's: 0")
if(NOT record STREQUAL expected)
    message(FATAL_ERROR "The version record reads back as:\n${record}\nnot:\n${expected}")
endif()
