cmake_minimum_required(VERSION 3.19)
# Fills FOLDER with PROGRAM, the PLUGINS (pairs of subfolder and file), every
# library they load that is found in SEARCH, and the LICENSES; strips the
# programs and libraries, and packs the folder as ZIP. Run with cmake -P.
include(${CMAKE_CURRENT_LIST_DIR}/deployplugins.cmake)
file(REMOVE_RECURSE ${FOLDER})
file(MAKE_DIRECTORY ${FOLDER})

file(COPY ${PROGRAM} DESTINATION ${FOLDER})
get_filename_component(name ${PROGRAM} NAME)
vr_copy_plugins(${FOLDER} "${PLUGINS}" modules plugin_copies)
set(binaries ${FOLDER}/${name} ${plugin_copies})

# The libraries are what the program file and the plugins import, and what
# those import in turn, found in SEARCH (the first folder that has one wins);
# the system's own (kernel32 and the like) stay unresolved, left to Windows.
# CMake looks each name up in lower case, as Windows matches names without
# regard to case; on this file system the names are found through lower-case
# links, each leading to its library under its own name.
set(links ${FOLDER}-names)
file(REMOVE_RECURSE ${links})
file(MAKE_DIRECTORY ${links})
foreach(folder IN LISTS SEARCH)
    file(GLOB found "${folder}/*.dll")
    foreach(path IN LISTS found)
        get_filename_component(name ${path} NAME)
        string(TOLOWER ${name} name)
        if(NOT EXISTS ${links}/${name})
            file(CREATE_LINK ${path} ${links}/${name} SYMBOLIC)
        endif()
    endforeach()
endforeach()
set(CMAKE_GET_RUNTIME_DEPENDENCIES_PLATFORM windows+pe)
set(CMAKE_GET_RUNTIME_DEPENDENCIES_TOOL objdump)
set(CMAKE_GET_RUNTIME_DEPENDENCIES_COMMAND ${OBJDUMP})
file(GET_RUNTIME_DEPENDENCIES EXECUTABLES ${PROGRAM} MODULES ${modules}
    DIRECTORIES ${links} RESOLVED_DEPENDENCIES_VAR libraries
    UNRESOLVED_DEPENDENCIES_VAR left_to_windows)
foreach(link IN LISTS libraries)
    file(REAL_PATH ${link} library)
    file(COPY ${library} DESTINATION ${FOLDER})
    get_filename_component(name ${library} NAME)
    list(APPEND binaries ${FOLDER}/${name})
endforeach()
file(REMOVE_RECURSE ${links})

foreach(binary IN LISTS binaries)
    execute_process(COMMAND ${STRIP} --strip-unneeded ${binary} RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "Could not strip ${binary}")
    endif()
endforeach()

file(MAKE_DIRECTORY ${FOLDER}/licenses)
foreach(licence IN LISTS LICENSES)
    if(IS_DIRECTORY ${licence})
        file(COPY ${licence}/ DESTINATION ${FOLDER}/licenses/Qt)
    else()
        file(COPY ${licence} DESTINATION ${FOLDER})
    endif()
endforeach()

get_filename_component(parent ${FOLDER} DIRECTORY)
get_filename_component(top ${FOLDER} NAME)
file(REMOVE ${ZIP})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${ZIP} --format=zip ${top}
    WORKING_DIRECTORY ${parent} RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "Could not pack ${ZIP}")
endif()
