# Checks that the program installs as a complete desktop application, from the
# install rules or from the Debian package: every file with its mode (icons
# with their size), and what the desktop entry and the metadata name, compared
# whole with the one listing a desktop needs.
#   cmake -DBUILD_DIR=<build> -DSCRATCH=<dir> -DAPPSTREAM_ID=<id> -DVERSION=<version>
#         [-DPACKAGE=ON -DCPACK=<cpack>] -P installedtree.cmake
# Prints "SKIPPED:" when a tool the package needs is not installed.
function(run)
    execute_process(COMMAND ${ARGN} OUTPUT_VARIABLE output COMMAND_ERROR_IS_FATAL ANY)
    set(output "${output}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${SCRATCH})
set(root ${SCRATCH}/root)
if(PACKAGE)
    find_program(dpkg_deb dpkg-deb)
    find_program(shlibdeps dpkg-shlibdeps)
    if(NOT dpkg_deb OR NOT shlibdeps)
        message("SKIPPED: needs dpkg-deb and dpkg-shlibdeps; scripts/test installs dpkg-dev")
        return()
    endif()
    run(${CPACK} --config ${BUILD_DIR}/CPackConfig.cmake -B ${SCRATCH}/package)
    file(GLOB deb ${SCRATCH}/package/*.deb)
    run(dpkg --print-architecture)
    string(STRIP ${output} architecture)
    # The dependencies come from the libraries the program links; "Notepad"
    # needs xdg-utils.
    run(${dpkg_deb} --field ${deb} Package Version Architecture Maintainer Section Depends
        Recommends)
    if(NOT output MATCHES "^Package: vantorel-renamer\nVersion: ${VERSION}\nArchitecture: \
${architecture}\nMaintainer: [^\n]+ <[^@>\n]+@[^>\n]+>\nSection: utils\nDepends: libc6 [^\n]*, \
libqt6widgets6 [^\n]*\nRecommends: xdg-utils\n$")
        message(FATAL_ERROR "Wrong control fields:\n${output}")
    endif()
    run(${dpkg_deb} --contents ${deb})
    string(REGEX REPLACE "[^\n]* root/root [^\n]*\n" "" foreign "${output}")
    if(foreign)
        message(FATAL_ERROR "Not owned by root:\n${foreign}")
    endif()
    run(${dpkg_deb} --extract ${deb} ${root})
else()
    # Installed as a distribution would, into a staging root below /usr.
    set(ENV{DESTDIR} ${root})
    run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix /usr)
endif()

run(find ${root} -type f -printf "%P %m\n")
string(STRIP "${output}" files)
string(REPLACE "\n" ";" files "${files}")
list(SORT files)
set(listing "")
foreach(file IN LISTS files)
    if(file MATCHES "^(usr/share/icons/.*\\.png) ")
        # A PNG's width and height are the big-endian words at 16 and 20.
        file(READ ${root}/${CMAKE_MATCH_1} size OFFSET 16 LIMIT 8 HEX)
        string(SUBSTRING ${size} 0 8 width)
        string(SUBSTRING ${size} 8 8 height)
        math(EXPR width "0x${width}")
        math(EXPR height "0x${height}")
        string(APPEND file " ${width}x${height}")
    endif()
    string(APPEND listing "${file}\n")
endforeach()
file(STRINGS ${root}/usr/share/applications/vantorel-renamer.desktop entry REGEX "^(Exec|Icon)=")
file(STRINGS ${root}/usr/share/metainfo/${APPSTREAM_ID}.metainfo.xml metadata
    REGEX "<id>|<launchable|<release ")
list(TRANSFORM metadata REPLACE "^ +| date=.*" "")
string(JOIN "\n" names ${entry} ${metadata})
set(icons usr/share/icons/hicolor)
set(doc usr/share/doc/vantorel-renamer)
set(expected "usr/bin/vantorel-renamer 755
usr/share/applications/vantorel-renamer.desktop 644
${doc}/changelog.gz 644
${doc}/copyright 644
${doc}/screenshots/main-window.png 644
${doc}/screenshots/viewer.png 644
${icons}/128x128/apps/vantorel-renamer.png 644 128x128
${icons}/256x256/apps/vantorel-renamer.png 644 256x256
${icons}/32x32/apps/vantorel-renamer.png 644 32x32
${icons}/48x48/apps/vantorel-renamer.png 644 48x48
${icons}/64x64/apps/vantorel-renamer.png 644 64x64
${icons}/scalable/apps/vantorel-renamer.svg 644
usr/share/man/man1/vantorel-renamer.1.gz 644
usr/share/metainfo/${APPSTREAM_ID}.metainfo.xml 644
Exec=vantorel-renamer
Icon=vantorel-renamer
<id>${APPSTREAM_ID}</id>
<launchable type=\"desktop-id\">vantorel-renamer.desktop</launchable>
<release version=\"${VERSION}\"")
if(NOT "${listing}${names}" STREQUAL expected)
    message(FATAL_ERROR "Installed:\n${listing}${names}\nExpected:\n${expected}")
endif()
