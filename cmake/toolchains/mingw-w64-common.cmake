# SPDX-License-Identifier: Apache-2.0
# What both mingw-w64 toolchain files share; they set TELLTALE_MINGW_TRIPLET,
# CMAKE_SYSTEM_PROCESSOR and TELLTALE_WINE_NAMES first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${TELLTALE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TELLTALE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TELLTALE_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TELLTALE_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No libgcc, libstdc++ or winpthread DLL to ship: everything is linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Debian keeps wine64 out of PATH, in /usr/lib/wine.
find_program(TELLTALE_WINE NAMES ${TELLTALE_WINE_NAMES} PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(TELLTALE_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TELLTALE_WINE})
endif()
