# Cross-building Dusk for 64-bit Windows with Debian's mingw-w64, in its
# POSIX thread model (the win32 model has no std::thread), linked statically
# so dusk.exe needs no DLL beside it. The tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(DUSK_MINGW_TRIPLE x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${DUSK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${DUSK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${DUSK_MINGW_TRIPLE}-windres)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

set(CMAKE_FIND_ROOT_PATH /usr/${DUSK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Debian installs Wine's 64-bit loader beside its libraries, not on PATH.
find_program(DUSK_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(DUSK_WINE64 NAMES wine64 wine)
if(DUSK_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${DUSK_WINE64})
endif()
