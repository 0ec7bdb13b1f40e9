# Cross build for 64-bit Windows with mingw-w64 on Debian; the programs run under wine.
# The -posix compiler is required: the -win32 one has no std::thread or std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CTRL_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${CTRL_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${CTRL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${CTRL_MINGW_TRIPLET}-windres)

# Everything the programs need is linked in, so an .exe or .dll runs with nothing beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

set(CMAKE_FIND_ROOT_PATH /usr/${CTRL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test discovery and CTest run the Windows programs through wine.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
