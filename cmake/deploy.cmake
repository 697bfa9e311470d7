# Fills FOLDER with PROGRAM, the PLUGINS (pairs of subfolder and file), every
# library they load that is found in SEARCH, and the LICENSES; strips the
# programs and libraries, and packs the folder as ZIP. Run with cmake -P.
file(REMOVE_RECURSE ${FOLDER})
file(MAKE_DIRECTORY ${FOLDER})

file(COPY ${PROGRAM} DESTINATION ${FOLDER})
get_filename_component(name ${PROGRAM} NAME)
set(binaries ${FOLDER}/${name})
set(modules "")
list(LENGTH PLUGINS count)
math(EXPR last "${count} - 1")
foreach(i RANGE 0 ${last} 2)
    math(EXPR j "${i} + 1")
    list(GET PLUGINS ${i} subfolder)
    list(GET PLUGINS ${j} plugin)
    file(COPY ${plugin} DESTINATION ${FOLDER}/${subfolder})
    get_filename_component(name ${plugin} NAME)
    list(APPEND modules ${plugin})
    list(APPEND binaries ${FOLDER}/${subfolder}/${name})
endforeach()

# The libraries are what the program file and the plugins import, found in
# SEARCH; the system's own (kernel32 and the like) are left to Windows.
set(CMAKE_GET_RUNTIME_DEPENDENCIES_PLATFORM windows+pe)
set(CMAKE_GET_RUNTIME_DEPENDENCIES_TOOL objdump)
set(CMAKE_GET_RUNTIME_DEPENDENCIES_COMMAND ${OBJDUMP})
file(GET_RUNTIME_DEPENDENCIES
    EXECUTABLES ${PROGRAM}
    MODULES ${modules}
    DIRECTORIES ${SEARCH}
    RESOLVED_DEPENDENCIES_VAR libraries
    UNRESOLVED_DEPENDENCIES_VAR system
    PRE_EXCLUDE_REGEXES "^api-ms-" "^ext-ms-")
foreach(library IN LISTS libraries)
    file(COPY ${library} DESTINATION ${FOLDER})
    get_filename_component(name ${library} NAME)
    list(APPEND binaries ${FOLDER}/${name})
endforeach()

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
