# Cross-compiles the Windows engine on Linux with mingw-w64 (Debian: g++-mingw-w64-x86-64-posix).
# The posix thread model gives std::thread and friends to code that uses them; the result is
# linked statically so pbrain-velka64.exe runs on a tournament machine with no DLL beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Generic x86-64 code: tournament machines are not the build machine.
set(CMAKE_CXX_FLAGS_INIT "-march=x86-64 -mtune=generic")
set(CMAKE_C_FLAGS_INIT "-march=x86-64 -mtune=generic")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
