# How the program presents itself to the platform: the version record, the
# desktop entry, the metadata and the package. The version is the project's.
include(${CMAKE_CURRENT_LIST_DIR}/shortversion.cmake)

set(VR_TITLE "Vantorel Renamer")
set(VR_PROGRAM vantorel-renamer)
set(VR_COMPANY "The Vantorel Renamer developers")
set(VR_COPYRIGHT "Copyright (c) 2026 ${VR_COMPANY}")
set(VR_CONTACT "vantorel-renamer@example.org")
# Where the project publishes the program and the pictures of it.
set(VR_HOMEPAGE "https://example.org/vantorel-renamer")
set(VR_SUMMARY "Rename the files of one game level to another level number")
set(VR_APPSTREAM_ID org.example.vantorel_renamer)
set(VR_RELEASE_DATE 2026-12-07)
vr_short_version(VR_SHORT_VERSION ${PROJECT_VERSION_MAJOR} ${PROJECT_VERSION_MINOR})
