# SPDX-License-Identifier: Apache-2.0
# `cpack` in a configured and built tree makes the packages of this system:
# on Linux the Debian package (debian_package.cmake), on Windows the
# installer and the portable zip (windows_installer.cmake). What they share
# is set here, from the project's one name and version.

set(CPACK_PACKAGE_NAME telltale)
set(CPACK_PACKAGE_VENDOR "Telltale authors")
set(CPACK_PACKAGE_CONTACT "Telltale authors <authors@telltale.example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_HOMEPAGE_URL ${PROJECT_HOMEPAGE_URL})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "check files for the traces of JPHide and Hiderman")
# Release builds carry a symbol table; the package does not.
set(CPACK_STRIP_FILES ON)

if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/windows_installer.cmake)
else()
  include(${CMAKE_CURRENT_LIST_DIR}/debian_package.cmake)
endif()

# `cpack --config CPackSourceConfig.cmake` leaves out what .gitignore does.
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/" "/out/" "\\\\.swp$")

include(CPack)
