# The Windows program as players get it: a folder with the program file, the
# Qt libraries and plugins it loads and the compiler's runtime libraries, all
# stripped, and the same folder packed as a zip. Both are built with the program
# (build-windows/vantorel-renamer-<version>-win32 and .zip beside it), target
# windows_zip. The program is a 32-bit one (see the toolchain file): it runs on
# 32- and 64-bit Windows alike. The variables here stay here: what the tests
# need of the deployment are properties of windows_zip (at the end).
function(vr_deploy_windows)
    include(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/identity.cmake)

    set(vr_mingw ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)
    find_program(VR_MINGW_OBJDUMP NAMES ${vr_mingw}-objdump REQUIRED)
    find_program(VR_MINGW_STRIP NAMES ${vr_mingw}-strip REQUIRED)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll
        OUTPUT_VARIABLE vr_cxx_runtime OUTPUT_STRIP_TRAILING_WHITESPACE)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libwinpthread-1.dll
        OUTPUT_VARIABLE vr_thread_runtime OUTPUT_STRIP_TRAILING_WHITESPACE)
    # The folders of the compiler's runtime libraries (the tests run with them too).
    get_filename_component(vr_cxx_runtime ${vr_cxx_runtime} DIRECTORY)
    get_filename_component(vr_thread_runtime ${vr_thread_runtime} DIRECTORY)
    set(vr_libraries ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_BINS} ${vr_cxx_runtime} ${vr_thread_runtime})

    # The 64-bit build serves only the Windows tests, where the kernel runs no
    # 32-bit code; Wine runs each build through the loader of its bitness.
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        set(VR_WINDOWS_NAME ${VR_PROGRAM}-${PROJECT_VERSION}-win64)
        set(VR_WINE /usr/lib/wine/wine64)
    else()
        set(VR_WINDOWS_NAME ${VR_PROGRAM}-${PROJECT_VERSION}-win32)
        set(VR_WINE /usr/lib/wine/wine)
    endif()
    set(VR_WINDOWS_FOLDER ${CMAKE_BINARY_DIR}/${VR_WINDOWS_NAME})
    set(VR_WINDOWS_ZIP ${CMAKE_BINARY_DIR}/${VR_WINDOWS_NAME}.zip)
    set(vr_plugins
        platforms $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin>
        styles $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin>)
    add_custom_command(OUTPUT ${VR_WINDOWS_ZIP}
        COMMAND ${CMAKE_COMMAND}
            -DPROGRAM=$<TARGET_FILE:vantorel-renamer>
            "-DPLUGINS=${vr_plugins}"
            "-DSEARCH=${vr_libraries}"
            "-DLICENSES=${PROJECT_SOURCE_DIR}/LICENSE;${QT6_INSTALL_PREFIX}/licenses"
            -DOBJDUMP=${VR_MINGW_OBJDUMP} -DSTRIP=${VR_MINGW_STRIP}
            -DFOLDER=${VR_WINDOWS_FOLDER} -DZIP=${VR_WINDOWS_ZIP}
            -P ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/deploy.cmake
        DEPENDS vantorel-renamer ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/deploy.cmake
        COMMENT "Deploying the Windows program to ${VR_WINDOWS_NAME}.zip"
        VERBATIM)
    add_custom_target(windows_zip ALL DEPENDS ${VR_WINDOWS_ZIP})
    # Where the deployed program lies and what runs it under Wine, and for the
    # tests run from the build, where its plugins and libraries lie.
    set_target_properties(windows_zip PROPERTIES
        VR_FOLDER ${VR_WINDOWS_FOLDER}
        VR_WINE ${VR_WINE}
        VR_OBJDUMP ${VR_MINGW_OBJDUMP}
        VR_PLUGIN_FOLDER ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_PLUGINS}
        VR_LIBRARY_FOLDERS "${vr_libraries}")
endfunction()
vr_deploy_windows()
