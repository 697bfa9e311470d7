# The short version the program file's version record shows: the major
# number, a point, and the minor number as two digits (1.0 reads "1.00").
function(vr_short_version out major minor)
    if(minor LESS 10)
        set(minor "0${minor}")
    endif()
    set(${out} "${major}.${minor}" PARENT_SCOPE)
endfunction()
