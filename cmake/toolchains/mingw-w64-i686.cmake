# SPDX-License-Identifier: Apache-2.0
# Cross-compiles for 32-bit Windows; see mingw-w64-x86_64.cmake. Its test
# programs need a Wine that runs 32-bit programs (Debian's wine32).
set(TELLTALE_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TELLTALE_WINE_NAMES wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
