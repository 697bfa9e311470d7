# Checks that the program installs as a complete desktop application: the
# program, its desktop entry, its metadata, its icons, its manual, changelog
# and copyright file, each where a desktop looks for it, and nothing else.
#
# From the install rules:
#   cmake -DBUILD_DIR=<build> -DSCRATCH=<dir> -DAPPSTREAM_ID=<id> [-DVERSION=<version>]
#         -P installedtree.cmake
# From the Debian package (built first with CPACK when DEB is not given):
#   cmake -DPACKAGE=ON [-DDEB=<file.deb> | -DCPACK=<cpack>] -DBUILD_DIR=<build> -DSCRATCH=<dir>
#         -DAPPSTREAM_ID=<id> -DVERSION=<version> -P installedtree.cmake
# Prints "SKIPPED:" when a tool the check needs is not installed.

foreach(name BUILD_DIR SCRATCH APPSTREAM_ID)
    if(NOT ${name})
        message(FATAL_ERROR "${name} is not set")
    endif()
endforeach()

set(failures "")
macro(fail text)
    string(APPEND failures "\n  ${text}")
endmacro()

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output
        ERROR_VARIABLE output)
    if(NOT result EQUAL 0)
        string(REPLACE ";" " " command "${ARGN}")
        message(FATAL_ERROR "${command} failed (${result}):\n${output}")
    endif()
    set(run_output "${output}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${SCRATCH})
file(MAKE_DIRECTORY ${SCRATCH})
set(root ${SCRATCH}/root)

if(PACKAGE)
    find_program(dpkg_deb dpkg-deb)
    if(NOT dpkg_deb)
        message("SKIPPED: dpkg-deb not found")
        return()
    endif()
    if(NOT DEB)
        find_program(shlibdeps dpkg-shlibdeps)
        if(NOT shlibdeps)
            message("SKIPPED: dpkg-shlibdeps not found; scripts/test installs dpkg-dev")
            return()
        endif()
        run(${CPACK} --config ${BUILD_DIR}/CPackConfig.cmake -B ${SCRATCH}/package)
        file(GLOB DEB ${SCRATCH}/package/*.deb)
        list(LENGTH DEB count)
        if(NOT count EQUAL 1)
            message(FATAL_ERROR "cpack made ${count} packages, not one: ${DEB}")
        endif()
    endif()

    # The control fields a package manager relies on.
    foreach(field Package Version Architecture Maintainer Section Depends Description)
        run(${dpkg_deb} --field ${DEB} ${field})
        string(STRIP "${run_output}" value)
        set(control_${field} "${value}")
        if(value STREQUAL "")
            fail("control field ${field} is empty")
        endif()
    endforeach()
    if(NOT control_Package STREQUAL "vantorel-renamer")
        fail("package name is \"${control_Package}\"")
    endif()
    if(VERSION AND NOT control_Version STREQUAL VERSION)
        fail("package version is \"${control_Version}\", not \"${VERSION}\"")
    endif()
    if(NOT control_Maintainer MATCHES "<[^@>]+@[^>]+>$")
        fail("maintainer \"${control_Maintainer}\" has no address")
    endif()
    # Found from the libraries the program links, not listed by hand.
    foreach(library libc6 libqt6widgets6)
        if(NOT control_Depends MATCHES "(^|, )${library}( |,|$)")
            fail("dependencies \"${control_Depends}\" lack ${library}")
        endif()
    endforeach()

    run(${dpkg_deb} --field ${DEB} Recommends)
    if(NOT run_output MATCHES "(^|, )xdg-utils( |,|\n|$)")
        fail("the package does not recommend xdg-utils, which \"Notepad\" needs")
    endif()

    run(${dpkg_deb} --contents ${DEB})
    if(NOT run_output MATCHES "-rwxr-xr-x root/root +[0-9]+ [-0-9]+ [:0-9]+ ./usr/bin/vantorel-renamer\n")
        fail("the package does not hold usr/bin/vantorel-renamer as an executable owned by root")
    endif()
    run(${dpkg_deb} --extract ${DEB} ${root})
else()
    # Installed as a distribution would, into a staging root below /usr.
    set(ENV{DESTDIR} ${root})
    run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix /usr)
endif()

# Everything installed, and nothing more.
set(icons "")
foreach(size 32 48 64 128 256)
    list(APPEND icons usr/share/icons/hicolor/${size}x${size}/apps/vantorel-renamer.png)
endforeach()
set(expected
    usr/bin/vantorel-renamer
    usr/share/applications/vantorel-renamer.desktop
    usr/share/doc/vantorel-renamer/changelog.gz
    usr/share/doc/vantorel-renamer/copyright
    usr/share/doc/vantorel-renamer/screenshots/main-window.png
    usr/share/doc/vantorel-renamer/screenshots/viewer.png
    usr/share/man/man1/vantorel-renamer.1.gz
    ${icons}
    usr/share/icons/hicolor/scalable/apps/vantorel-renamer.svg
    usr/share/metainfo/${APPSTREAM_ID}.metainfo.xml)
file(GLOB_RECURSE installed LIST_DIRECTORIES false RELATIVE ${root} ${root}/*)
list(SORT installed)
list(SORT expected)
if(NOT installed STREQUAL expected)
    set(missing ${expected})
    list(REMOVE_ITEM missing ${installed})
    set(extra ${installed})
    list(REMOVE_ITEM extra ${expected})
    fail("missing: ${missing}; not expected: ${extra}")
endif()

# Each bitmap icon is as large as the folder it lies in says.
foreach(icon ${icons})
    if(EXISTS ${root}/${icon})
        string(REGEX MATCH "/([0-9]+)x([0-9]+)/" _ ${icon})
        set(folder_width ${CMAKE_MATCH_1})
        set(folder_height ${CMAKE_MATCH_2})
        file(READ ${root}/${icon} header LIMIT 24 HEX)
        string(SUBSTRING "${header}" 32 8 width)
        string(SUBSTRING "${header}" 40 8 height)
        math(EXPR width "0x${width}")
        math(EXPR height "0x${height}")
        if(NOT header MATCHES "^89504e470d0a1a0a" OR NOT width EQUAL folder_width
           OR NOT height EQUAL folder_height)
            fail("${icon} is not a ${folder_width} x ${folder_height} PNG")
        endif()
    endif()
endforeach()

# The desktop entry starts the installed program and names the installed
# icon; the metadata launches the installed desktop entry.
set(desktop ${root}/usr/share/applications/vantorel-renamer.desktop)
set(metainfo ${root}/usr/share/metainfo/${APPSTREAM_ID}.metainfo.xml)
if(EXISTS ${desktop})
    file(STRINGS ${desktop} exec REGEX "^Exec=")
    file(STRINGS ${desktop} icon REGEX "^Icon=")
    string(REGEX REPLACE "^Exec=([^ ]+).*" "\\1" exec "${exec}")
    string(REGEX REPLACE "^Icon=" "" icon "${icon}")
    if(NOT EXISTS ${root}/usr/bin/${exec})
        fail("the desktop entry starts \"${exec}\", which is not installed in usr/bin")
    endif()
    if(NOT EXISTS ${root}/usr/share/icons/hicolor/32x32/apps/${icon}.png)
        fail("the desktop entry names the icon \"${icon}\", which is not installed")
    endif()
endif()
if(EXISTS ${metainfo})
    file(READ ${metainfo} text)
    if(NOT text MATCHES "<id>${APPSTREAM_ID}</id>")
        fail("the metadata file is not named after its id")
    endif()
    string(REGEX MATCH "<launchable type=\"desktop-id\">([^<]+)</launchable>" _ "${text}")
    if(NOT CMAKE_MATCH_1 OR NOT EXISTS ${root}/usr/share/applications/${CMAKE_MATCH_1})
        fail("the metadata launches \"${CMAKE_MATCH_1}\", which is not installed")
    endif()
    if(VERSION AND NOT text MATCHES "<release version=\"${VERSION}\"")
        fail("the metadata has no release ${VERSION}")
    endif()
endif()

if(failures)
    message(FATAL_ERROR "The installed application is incomplete:${failures}")
endif()
message("Installed tree complete: ${installed}")
