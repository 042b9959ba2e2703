# Shared by the mingw-w64 toolchain files; they set MINGW_TRIPLET first.
#
# The posix-thread variant of the compilers is used: it has the whole C++
# thread library, which the win32 variant of GCC 12 lacks.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained .exe: the C++ runtime, libgcc and winpthread are linked
# in, so nothing but the system DLLs is needed beside it. The C library's
# printf family follows C99 (%zu, %lld) instead of the old msvcrt rules.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_C_FLAGS_INIT "-D__USE_MINGW_ANSI_STDIO=1")
set(CMAKE_CXX_FLAGS_INIT "-D__USE_MINGW_ANSI_STDIO=1")

# Tests and other built programs run under Wine. The caller sets WINEPREFIX
# (and usually WINEDEBUG=-all and DISPLAY); see scripts/wine.sh.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
