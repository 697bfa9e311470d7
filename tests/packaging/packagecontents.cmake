# The Debian package, built by CPack from the install rules (or the one DEB
# names), installs a complete desktop application: its control fields; every
# file with its mode, the icons' sizes and what the desktop entry and metadata
# name, compared whole; and lintian finds no error, warning or hardening flaw.
function(run)
    execute_process(COMMAND ${ARGN} OUTPUT_VARIABLE output COMMAND_ERROR_IS_FATAL ANY)
    set(output "${output}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${SCRATCH})
set(root ${SCRATCH}/root)
file(MAKE_DIRECTORY ${root})
find_program(shlibdeps dpkg-shlibdeps)
if(NOT shlibdeps)
    message("SKIPPED: needs dpkg-shlibdeps; scripts/test installs dpkg-dev")
    return()
endif()
if(DEB)
    set(deb ${DEB})
else()
    run(${CPACK} --config ${BUILD_DIR}/CPackConfig.cmake -B ${SCRATCH}/package)
    file(GLOB deb ${SCRATCH}/package/*.deb)
endif()
find_program(lintian lintian)
if(lintian)
    execute_process(COMMAND ${lintian} --pedantic -I ${deb} OUTPUT_VARIABLE output)
    if(output MATCHES "(^|\n)[EW]: |hardening")
        message(FATAL_ERROR "lintian:\n${output}")
    endif()
else()
    message(WARNING "lintian is missing (scripts/test installs it): the package goes unchecked by it")
endif()
# Depends names GIO, which "Notepad" loads, and libyaml, which the game search
# loads, then what the program links: Qt.
run(dpkg-deb --field ${deb} Package Version Architecture Maintainer Section Depends Recommends)
if(NOT output MATCHES "^Package: vantorel-renamer\nVersion: ${VERSION}\nArchitecture: .+\n\
Maintainer: [^\n]+ <[^@>\n]+@[^>\n]+>\nSection: utils\nDepends: libglib2.0-0 [^\n]*, \
libyaml-0-2, ([^\n]*, )?libc6 [^\n]*, libqt6widgets6 [^\n]*\n$")
    message(FATAL_ERROR "Wrong control fields:\n${output}")
endif()
run(dpkg-deb --extract ${deb} ${root})
# Start-up loads neither GIO nor libyaml: the program loads them when needed.
run(objdump -p ${root}/usr/bin/vantorel-renamer)
if(output MATCHES "NEEDED +lib(gio|yaml)")
    message(FATAL_ERROR "The program links GIO or libyaml:\n${output}")
endif()

file(GLOB pngs ${root}/usr/share/icons/hicolor/*/apps/*.png)
run(identify -format "%wx%h " ${pngs})
string(STRIP "${output}" sizes)
file(STRINGS ${root}/usr/share/applications/vantorel-renamer.desktop entry REGEX "^(Exec|Icon)=")
file(STRINGS ${root}/usr/share/metainfo/${APPSTREAM_ID}.metainfo.xml metadata
    REGEX "<id>|<launchable|<release ")
list(TRANSFORM metadata REPLACE "^ +| date=.*" "")
run(find ${root} -type f -printf "%P %m\n" COMMAND env LC_ALL=C sort)
string(JOIN "\n" listing "${output}icon sizes: ${sizes}" ${entry} ${metadata})
set(icons usr/share/icons/hicolor)
set(doc usr/share/doc/vantorel-renamer)
set(expected "usr/bin/vantorel-renamer 755
usr/share/applications/vantorel-renamer.desktop 644
${doc}/changelog.gz 644
${doc}/copyright 644
${doc}/screenshots/main-window.png 644
${doc}/screenshots/viewer.png 644
${icons}/128x128/apps/vantorel-renamer.png 644
${icons}/256x256/apps/vantorel-renamer.png 644
${icons}/32x32/apps/vantorel-renamer.png 644
${icons}/48x48/apps/vantorel-renamer.png 644
${icons}/64x64/apps/vantorel-renamer.png 644
${icons}/scalable/apps/vantorel-renamer.svg 644
usr/share/lintian/overrides/vantorel-renamer 644
usr/share/man/man1/vantorel-renamer.1.gz 644
usr/share/metainfo/${APPSTREAM_ID}.metainfo.xml 644
icon sizes: 128x128 256x256 32x32 48x48 64x64
Exec=vantorel-renamer
Icon=vantorel-renamer
<id>${APPSTREAM_ID}</id>
<launchable type=\"desktop-id\">vantorel-renamer.desktop</launchable>
<release version=\"${VERSION}\"")
if(NOT listing STREQUAL expected)
    message(FATAL_ERROR "Installed:\n${listing}\nExpected:\n${expected}")
endif()
