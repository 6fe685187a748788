# SPDX-License-Identifier: Apache-2.0
# `cpack` in a Windows build makes telltale-<version>-win64.exe, an installer
# made with NSIS (makensis, Debian's nsis package), and telltale-<version>-win64.zip,
# the same files to run from any folder: both programs, the licence and the
# README. The installer is the project's own NSIS script, nsis/NSIS.template.in:
# CPack's own asks for an administrator and writes under HKEY_LOCAL_MACHINE,
# where this one installs for the user who runs it.
# tests/windows/installer_test.sh installs and uninstalls it under Wine.

set(CPACK_GENERATOR NSIS ZIP)
set(CPACK_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR}/nsis)
# One folder and one uninstall entry, whatever the version, so that a newer
# version installs over an older one.
set(CPACK_PACKAGE_INSTALL_DIRECTORY Telltale)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Telltale)
set(CPACK_NSIS_PACKAGE_NAME Telltale)
set(CPACK_NSIS_DISPLAY_NAME Telltale)
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/resources/telltale.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/resources/telltale.ico)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)

# Beside the programs, named so that a double click opens them.
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION . RENAME README.txt)
