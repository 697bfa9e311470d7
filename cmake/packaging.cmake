# A Debian package built by CPack from the install rules (scripts/package).
include(${CMAKE_CURRENT_LIST_DIR}/identity.cmake)

if(UNIX AND NOT APPLE)
    set(CPACK_GENERATOR DEB)
endif()
set(CPACK_PACKAGE_NAME ${VR_PROGRAM})
set(CPACK_PACKAGE_VENDOR ${VR_COMPANY})
set(CPACK_PACKAGE_CONTACT "${VR_COMPANY} <${VR_CONTACT}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY ${VR_SUMMARY})
# Lines of at most 80 characters, as Debian's tools show them.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "${VR_TITLE} renames the files of one level of a strategy game inside the"
    "game's levels folder, from one level number to another: the level's data,"
    "header, version and setup information files, each as the user ticks it."
    "Every rename is reported in its own message box, and a file is never"
    "overwritten. The game is found in its Wine prefix (Wine, Proton, Lutris,"
    "Bottles). A read-only viewer shows the renames log.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the program links decide the dependencies (dpkg-shlibdeps):
# Qt's. GLib's GIO, which finds and starts the text editor for "Notepad", and
# libyaml, which reads Lutris's and Bottles' files, are loaded only when
# needed, so dpkg-shlibdeps cannot see them: named here (libyaml's symbols
# file asks no minimum version of the functions the program calls).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libglib2.0-0 (>= 2.28.0), libyaml-0-2")
include(CPack)
