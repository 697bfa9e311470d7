cmake_minimum_required(VERSION 3.19)
# Fills FOLDER with the program as BUILD installs it (stripped, as the package
# holds it), the PLUGINS (pairs of subfolder and file), every library they load
# that a desktop system may lack, and the licences; points each of them at its
# libraries through its RUNPATH, and packs the folder as TARBALL.
# Run with cmake -P.
include(${CMAKE_CURRENT_LIST_DIR}/deployplugins.cmake)

# What every desktop system has and the folder leaves to it, by library name:
# the C library and GCC's runtime beside it (libstdc++ too: Debian 12's needs
# glibc 2.36, the program and Qt need only GCC 12's, which Ubuntu 22.04 has);
# OpenGL's dispatchers for X11 and EGL, which must be the system's to reach its
# drivers (QtGui also links libOpenGL, which the program never calls and which
# Debian and Ubuntu package apart, not on every desktop: shipped, on the
# system's dispatcher); the X client libraries; fontconfig and FreeType, which
# read the system's fonts and font settings; GLib, whose GIO starts the
# desktop's text editor. Their own dependencies are the system's too (below).
set(system_libraries
    "^ld-linux" "^lib(c|m|dl|pthread|rt|resolv|util|anl|mvec)\\.so\\."
    "^lib(stdc\\+\\+|gcc_s)\\.so\\."
    "^lib(GL|EGL|GLX|GLdispatch|GLESv1_CM|GLESv2)\\.so\\."
    "^libX11(-xcb)?\\.so\\." "^libxcb\\.so\\."
    "^lib(fontconfig|freetype)\\.so\\."
    "^lib(glib|gobject|gio|gmodule|gthread)-2\\.0\\.so\\.")

function(run)
    execute_process(COMMAND ${ARGN} OUTPUT_VARIABLE output RESULT_VARIABLE failed
        ERROR_VARIABLE error)
    if(failed)
        message(FATAL_ERROR "${ARGN}: ${error}")
    endif()
    set(output "${output}" PARENT_SCOPE)
endfunction()

set(shipped "")
set(stage ${FOLDER}-install)
file(REMOVE_RECURSE ${FOLDER} ${stage} ${TARBALL})
run(${CMAKE_COMMAND} --install ${BUILD} --prefix ${stage} --strip)
file(MAKE_DIRECTORY ${FOLDER}/lib ${FOLDER}/share/doc/${PROGRAM})
file(COPY ${stage}/bin/${PROGRAM} DESTINATION ${FOLDER})
# The desktop entry (./menu-entry writes the user's copy from it), the icons,
# the manual page; the program's changelog and copyright.
file(COPY ${stage}/share/applications ${stage}/share/icons ${stage}/share/man
    DESTINATION ${FOLDER}/share)
file(COPY ${stage}/share/doc/${PROGRAM}/copyright ${stage}/share/doc/${PROGRAM}/changelog.gz
    DESTINATION ${FOLDER}/share/doc/${PROGRAM})
file(REMOVE_RECURSE ${stage})
file(COPY ${MENU_ENTRY} ${LICENSE} DESTINATION ${FOLDER})
# Qt looks for its plugins beside the program through this file.
file(WRITE ${FOLDER}/qt.conf "[Paths]\nPlugins = plugins\n")

vr_copy_plugins(${FOLDER}/plugins "${PLUGINS}" modules plugin_files)

# Everything the program and the plugins load, then what the system's own
# libraries load in turn: that stays the system's as well, since a second,
# older copy in the folder would also be the one those libraries got.
set(CMAKE_GET_RUNTIME_DEPENDENCIES_PLATFORM linux+elf)
set(CMAKE_GET_RUNTIME_DEPENDENCIES_TOOL objdump)
# The libraries the program opens itself when it needs them (LOADED, under
# the names it opens them by), which no tool sees in its imports. Read where
# the system has them, whose package names their licence below.
foreach(path IN LISTS LOADED)
    get_filename_component(name ${path} NAME)
    file(REAL_PATH ${path} real)
    file(COPY_FILE ${real} ${FOLDER}/lib/${name})
    list(APPEND modules ${real})
endforeach()
file(GET_RUNTIME_DEPENDENCIES EXECUTABLES ${FOLDER}/${PROGRAM} MODULES ${modules}
    RESOLVED_DEPENDENCIES_VAR loaded UNRESOLVED_DEPENDENCIES_VAR missing
    CONFLICTING_DEPENDENCIES_PREFIX conflicting)
if(missing)
    message(FATAL_ERROR "Libraries not found on this system: ${missing}")
endif()
foreach(name IN LISTS conflicting_FILENAMES)
    # One library reached through two folders (/lib and /usr/lib) is one file.
    set(real "")
    foreach(path IN LISTS conflicting_${name})
        file(REAL_PATH ${path} path)
        list(APPEND real ${path})
    endforeach()
    list(REMOVE_DUPLICATES real)
    list(LENGTH real count)
    if(count GREATER 1)
        message(FATAL_ERROR "Two different ${name}: ${real}")
    endif()
    list(GET conflicting_${name} 0 path)
    list(APPEND loaded ${path})
endforeach()
set(system "")
foreach(regex IN LISTS system_libraries)
    foreach(path IN LISTS loaded)
        get_filename_component(name ${path} NAME)
        if(name MATCHES "${regex}")
            list(APPEND system ${path})
        endif()
    endforeach()
endforeach()
file(GET_RUNTIME_DEPENDENCIES LIBRARIES ${system} RESOLVED_DEPENDENCIES_VAR system_loads
    CONFLICTING_DEPENDENCIES_PREFIX ignored)
set(left_to_system "")
foreach(path IN LISTS system system_loads)
    get_filename_component(name ${path} NAME)
    list(APPEND left_to_system ${name})
endforeach()
foreach(path IN LISTS loaded)
    get_filename_component(name ${path} NAME)
    if(NOT name IN_LIST left_to_system)
        file(REAL_PATH ${path} real)
        file(COPY_FILE ${real} ${FOLDER}/lib/${name})
        list(APPEND shipped ${real})
    endif()
endforeach()
list(REMOVE_DUPLICATES left_to_system)
list(SORT left_to_system)
message(STATUS "Left to the system: ${left_to_system}")

# Debian's libraries carry no RUNPATH, and the dynamic loader does not pass the
# program's on to a library's own dependencies: each file gets its own,
# relative to where it lies ($ORIGIN, as the loader sees the file), so the
# folder works wherever it is unpacked. CMake's own file(RPATH_SET) can only
# change a RUNPATH a file already has; patchelf can add one. LD_LIBRARY_PATH
# would do it without editing files, but would pass on to the text editor the
# program starts, which would then load these libraries instead of its own.
file(GLOB libraries ${FOLDER}/lib/*)
run(${PATCHELF} --set-rpath "$ORIGIN/lib" ${FOLDER}/${PROGRAM})
run(${PATCHELF} --set-rpath "$ORIGIN" ${libraries})
run(${PATCHELF} --set-rpath "$ORIGIN/../../lib" ${plugin_files})

# The licences of what the folder ships from Debian, one folder per package
# with its copyright file, and SOURCES: each package's source package and
# version, whose source Debian's archive keeps.
set(sources "")
foreach(file IN LISTS shipped modules)
    file(REAL_PATH ${file} real)
    string(REGEX REPLACE "^/usr/" "/" other ${real})
    if(other STREQUAL real)
        set(other /usr${real})
    endif()
    # The package that installed the file, under the name it was installed as.
    execute_process(COMMAND ${DPKG_QUERY} -S ${real} OUTPUT_VARIABLE owner RESULT_VARIABLE failed
        ERROR_QUIET)
    if(failed)
        run(${DPKG_QUERY} -S ${other})
        set(owner "${output}")
    endif()
    string(REGEX REPLACE "[:,].*" "" package "${owner}")
    if(NOT EXISTS ${FOLDER}/licenses/${package})
        run(${DPKG_QUERY} -W "--showformat=\${source:Package} \${source:Version}" ${package})
        list(APPEND sources "${package}: ${output}")
        file(REAL_PATH /usr/share/doc/${package}/copyright copyright)
        file(MAKE_DIRECTORY ${FOLDER}/licenses/${package})
        file(COPY_FILE ${copyright} ${FOLDER}/licenses/${package}/copyright)
    endif()
endforeach()
list(SORT sources)
string(JOIN "\n" sources "Debian 12 packages whose files this folder ships, with the source package and version they were built from:" ${sources})
file(WRITE ${FOLDER}/licenses/SOURCES "${sources}\n")

get_filename_component(parent ${FOLDER} DIRECTORY)
get_filename_component(top ${FOLDER} NAME)
run(${CMAKE_COMMAND} -E tar czf ${TARBALL} ${top} WORKING_DIRECTORY ${parent})
