# Cross build for 64-bit Windows with mingw-w64. The posix thread model is needed for
# std::thread, std::mutex and std::condition_variable; the programs are linked statically, so
# they need no DLL beside them. Tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(SRVDIAG_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${SRVDIAG_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SRVDIAG_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${SRVDIAG_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${SRVDIAG_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

find_program(SRVDIAG_WINE wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${SRVDIAG_WINE})
