# SPDX-License-Identifier: Apache-2.0
# Cross-compiles for 64-bit Windows with the mingw-w64 compilers of the posix
# thread model (std::thread, std::mutex), linked statically so that the
# programs need no DLL beside them. ctest runs the test programs under Wine.
#   cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake
set(TELLTALE_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TELLTALE_WINE_NAMES wine64 wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
