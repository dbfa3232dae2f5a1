# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (the posix thread model, which
# std::thread and Qt need). Used for Qt itself and for Pingora.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PINGORA_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PINGORA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PINGORA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${PINGORA_MINGW_TRIPLE}-windres)

# Headers, libraries and packages come from the Windows side only; programs run on the host.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${PINGORA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
