# Cross build for 64-bit Windows with Debian's MinGW-w64 (the POSIX-threads
# flavour, for std::thread and std::call_once).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KELUMO_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KELUMO_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KELUMO_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KELUMO_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KELUMO_MINGW_TRIPLE})
# Programs (soapcpp2) run on the build machine; libraries and headers are the target's.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Self-contained executables: no MinGW runtime DLLs to ship beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
