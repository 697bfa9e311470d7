# The Linux program for players without the package (scripts/portable): one
# folder with the installed program, the Qt libraries and plugins it loads and
# every library a desktop may lack, packed as
# vantorel-renamer-<version>-linux-x86_64.tar.gz beside the folder. Unpacked
# anywhere, ./vantorel-renamer starts it; ./menu-entry puts it in the user's menu.
# The variables here stay here: what the tests need of the folder are
# properties of the target portable (at the end).
function(vr_deploy_portable)
    include(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/identity.cmake)

    # The oldest C and C++ runtimes the folder runs with: every file in it needs at
    # most these symbol versions (glibc 2.35 and GCC 12's runtime, as on Ubuntu
    # 22.04). The portable_runtime_floor test holds the folder to them; the README
    # promises them.
    set(VR_PORTABLE_GLIBC 2.35)
    set(VR_PORTABLE_GLIBCXX 3.4.30)
    set(VR_PORTABLE_CXXABI 1.3.13)
    set(VR_PORTABLE_GCC 12.0.0)

    find_program(VR_PATCHELF patchelf REQUIRED)
    find_program(VR_DPKG_QUERY dpkg-query REQUIRED)
    set(VR_PORTABLE_NAME ${VR_PROGRAM}-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR})
    set(VR_PORTABLE_FOLDER ${CMAKE_BINARY_DIR}/${VR_PORTABLE_NAME})
    set(VR_PORTABLE_TARBALL ${VR_PORTABLE_FOLDER}.tar.gz)
    # The X11 platform plugin, and the input contexts Debian's Qt uses for dead
    # keys and compose sequences (compose) and for input methods (IBus). Debian's
    # Qt leaves out the file that would import its plugins as CMake targets.
    set(vr_qt_plugins ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_PLUGINS})
    set(vr_plugins
        platforms ${vr_qt_plugins}/platforms/libqxcb.so
        platforminputcontexts ${vr_qt_plugins}/platforminputcontexts/libcomposeplatforminputcontextplugin.so
        platforminputcontexts ${vr_qt_plugins}/platforminputcontexts/libibusplatforminputcontextplugin.so)
    # Opened by the program itself when it first reads a Lutris or Bottles file:
    # libyaml, which no desktop is bound to have. (GIO, opened for the text
    # editor, is the system's, as its settings are.)
    find_library(VR_LIBYAML NAMES libyaml-0.so.2 REQUIRED)
    # Made anew at each build of the target: the libraries come from the system,
    # which apt may have upgraded since.
    add_custom_target(portable
        COMMAND ${CMAKE_COMMAND} -DBUILD=${CMAKE_BINARY_DIR} "-DPLUGINS=${vr_plugins}"
            -DPROGRAM=${VR_PROGRAM} -DLOADED=${VR_LIBYAML} -DMENU_ENTRY=${PROJECT_SOURCE_DIR}/resources/portable/menu-entry
            -DLICENSE=${PROJECT_SOURCE_DIR}/LICENSE -DPATCHELF=${VR_PATCHELF}
            -DDPKG_QUERY=${VR_DPKG_QUERY} -DFOLDER=${VR_PORTABLE_FOLDER} -DTARBALL=${VR_PORTABLE_TARBALL}
            -P ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/portabledeploy.cmake
        BYPRODUCTS ${VR_PORTABLE_TARBALL}
        COMMENT "Deploying the portable Linux program to ${VR_PORTABLE_NAME}.tar.gz"
        VERBATIM)
    add_dependencies(portable vantorel-renamer vr_docs)
    set_target_properties(portable PROPERTIES
        VR_FOLDER ${VR_PORTABLE_FOLDER}
        VR_TARBALL ${VR_PORTABLE_TARBALL}
        VR_RUNTIME_FLOORS "GLIBC_${VR_PORTABLE_GLIBC};GLIBCXX_${VR_PORTABLE_GLIBCXX};CXXABI_${VR_PORTABLE_CXXABI};GCC_${VR_PORTABLE_GCC}")
endfunction()
vr_deploy_portable()
