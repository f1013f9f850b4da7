# Cross build for 64-bit Windows with Debian's mingw-w64 compilers, in the
# posix threads flavour that .ci/run installs (g++-mingw-w64-x86-64-posix).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VORLAN_MINGW_TARGET x86_64-w64-mingw32)
# GoogleTest's sources also enable C.
set(CMAKE_C_COMPILER ${VORLAN_MINGW_TARGET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VORLAN_MINGW_TARGET}-g++-posix)
set(CMAKE_RC_COMPILER ${VORLAN_MINGW_TARGET}-windres)
# A bare Windows has no MinGW runtime DLLs: every program links them in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Libraries and packages come from the cross sysroot only, never from the
# host, so GoogleTest is compiled from its sources; tools are the host's.
set(CMAKE_FIND_ROOT_PATH /usr/${VORLAN_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
