# Cross-compiles for 64-bit Windows with MinGW-w64 (Debian: g++-mingw-w64-x86-64). The program is
# linked statically, so vorlind.exe needs no runtime DLLs on the user's machine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VORLIND_MINGW_PREFIX x86_64-w64-mingw32)
# The POSIX thread model: the file source reads ahead in a thread of its own (std::thread), which
# the win32 model of this compiler does not provide.
set(CMAKE_C_COMPILER ${VORLIND_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VORLIND_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VORLIND_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VORLIND_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Symbols are stripped: the release carries no debug information.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -s")
