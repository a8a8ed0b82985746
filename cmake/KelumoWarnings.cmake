# The sources are UTF-8 and hold Chinese literals; MSVC would otherwise read
# them in the system's code page.
if(MSVC)
    add_compile_options(/utf-8)
endif()

# Warnings for the project's own code; generated sources are built without them.
function(kelumo_warnings target)
    if(MSVC)
        target_compile_options(${target} PRIVATE /W4)
    else()
        target_compile_options(${target} PRIVATE -Wall -Wextra)
    endif()
endfunction()
