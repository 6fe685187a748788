# SPDX-License-Identifier: Apache-2.0
# `cpack -G DEB` in a configured and built tree makes telltale_<version>_<arch>.deb:
# both programs, their manual pages, the desktop entry, icons and software
# centre entry, installed under /usr. Dependencies come from the shared
# libraries the programs link (dpkg-shlibdeps, from dpkg-dev). The desktop
# files come with the window program, so build with TELLTALE_WINDOW on (the
# default). scripts/check-package.sh builds the package and checks it.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_NAME telltale)
# The first packaging of this version; the changelog in cmake/debian must
# open with the same version.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CPACK_PACKAGE_CONTACT})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${PROJECT_HOMEPAGE_URL})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [=[
Telltale looks in the raw bytes of a file for the markers that two
steganography tools leave behind: the byte pair FF DB for JPHide and the
characters CDN for Hiderman. It tells whether a marker was found, where, and
for which tool.

The package holds two programs: telltale, a window that checks one file at a
time (press Run, drop a file on it, or open a file with it from the file
manager), and telltale-scan, a command-line scanner for batch work on
folders, mail spools and disk images, which prints every finding as text or
JSON Lines.]=])

# Debian wants the manual pages gzipped and a copyright file and changelog
# beside the documentation; deb-staging.cmake does that in CPack's staging
# tree, so that a plain `cmake --install` is left as it is.
set(CPACK_TELLTALE_DEBIAN_DIR ${CMAKE_CURRENT_LIST_DIR}/debian)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/deb-staging.cmake)

