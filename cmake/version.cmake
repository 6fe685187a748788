# SPDX-License-Identifier: Apache-2.0
# The one version of the project is project(VERSION ...). Everything that
# shows it is made from it here: the programs' version.h, the Windows version
# record and manifests, the manual pages and the AppStream metadata.
#
# The programs show it as MAJOR.MM, the minor number in two digits ("1.00"
# for 1.0.0), as the first release did; the Windows record and the package
# carry all of it.
if(PROJECT_VERSION_MINOR LESS 10)
  set(TELLTALE_VERSION_SHOWN "${PROJECT_VERSION_MAJOR}.0${PROJECT_VERSION_MINOR}")
else()
  set(TELLTALE_VERSION_SHOWN "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}")
endif()
set(TELLTALE_VERSION_COMMAS
    "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")
set(TELLTALE_VERSION_DOTS
    "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0")
# The release date of the metadata: the day the version was set.
set(TELLTALE_RELEASE_DATE 2026-12-07)

set(TELLTALE_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)
configure_file(${PROJECT_SOURCE_DIR}/detection/version.h.in
               ${TELLTALE_GENERATED_DIR}/telltale/version.h @ONLY)
foreach(page telltale.1 telltale-scan.1)
  configure_file(${PROJECT_SOURCE_DIR}/docs/${page}.in ${TELLTALE_GENERATED_DIR}/docs/${page} @ONLY)
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/resources/org.example.telltale.metainfo.xml.in
               ${TELLTALE_GENERATED_DIR}/resources/org.example.telltale.metainfo.xml @ONLY)
# The Windows programs' manifests, which the resource scripts include.
foreach(manifest telltale.manifest telltale-scan.manifest)
  configure_file(${PROJECT_SOURCE_DIR}/resources/${manifest}.in
                 ${TELLTALE_GENERATED_DIR}/resources/${manifest} @ONLY)
endforeach()
