# The hardening every Debian package gets from dpkg-buildflags, and on Windows
# what of it the platform's loader uses.
include(CheckCXXCompilerFlag)
include(CheckPIESupported)

if(WIN32)
    # Address-space layout randomization and no execution from data pages.
    # (--high-entropy-va is for 64-bit programs only.) The stack protector and
    # fortified functions would make the program load MinGW's libssp besides.
    add_link_options(-Wl,--dynamicbase -Wl,--nxcompat)
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        add_link_options(-Wl,--high-entropy-va)
    endif()
    return()
endif()

check_pie_supported(LANGUAGES CXX)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
add_compile_options(-fstack-protector-strong -Wformat -Werror=format-security)
# Fortified functions (with the sizes known only at run time too) need the
# optimizer; a debug build goes without.
add_compile_definitions($<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=3>)
foreach(flag -fstack-clash-protection -fcf-protection)
    string(MAKE_C_IDENTIFIER "VR_HAS${flag}" has)
    check_cxx_compiler_flag(${flag} ${has})
    if(${has})
        add_compile_options(${flag})
    endif()
endforeach()
add_link_options(-Wl,-z,relro -Wl,-z,now)
