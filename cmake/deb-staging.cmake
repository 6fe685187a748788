# SPDX-License-Identifier: Apache-2.0
# Run by CPack (CPACK_PRE_BUILD_SCRIPTS) on the staged files, before they are
# packed. For a Debian package it does what Debian's helpers would: strips the
# compiler's notes from the programs, gzips the manual pages and adds the
# copyright file, the Debian changelog and lintian's overrides. Other
# generators get the files as they were installed.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()

set(root "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
set(docs "${root}/share/doc/${CPACK_DEBIAN_PACKAGE_NAME}")

find_program(gzip_program gzip REQUIRED)
find_program(strip_program strip REQUIRED)

# Maximum compression and no name or time stamp in the header, so the
# package's bytes depend only on its contents.
function(gzip_in_place file)
  execute_process(COMMAND "${gzip_program}" -9 -n -f "${file}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip failed on ${file}")
  endif()
endfunction()

# CPACK_STRIP_FILES has taken the symbols already; the compiler's version
# strings and notes go as well, as dh_strip does it.
file(GLOB programs "${root}/bin/*")
foreach(program IN LISTS programs)
  execute_process(COMMAND "${strip_program}" --remove-section=.comment --remove-section=.note
                          "${program}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "strip failed on ${program}")
  endif()
endforeach()

file(GLOB_RECURSE manual_pages "${root}/share/man/*.[1-9]")
if(NOT manual_pages)
  message(FATAL_ERROR "No manual pages under ${root}/share/man")
endif()
foreach(page IN LISTS manual_pages)
  gzip_in_place("${page}")
endforeach()

# The changelog's first entry has to be this very package, or the two have
# drifted apart.
set(version "${CPACK_PACKAGE_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE}")
file(STRINGS "${CPACK_TELLTALE_DEBIAN_DIR}/changelog" first_line LIMIT_COUNT 1)
if(NOT first_line MATCHES "^${CPACK_DEBIAN_PACKAGE_NAME} \\(([^)]+)\\) ")
  message(FATAL_ERROR "cmake/debian/changelog: cannot read the first entry: ${first_line}")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL version)
  message(FATAL_ERROR "cmake/debian/changelog opens with ${CMAKE_MATCH_1}, "
                      "but the package is ${version}: add an entry for it")
endif()

# Plain copies: file(INSTALL) would put DESTDIR, which CPack sets, in front.
set(readable OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
file(MAKE_DIRECTORY "${docs}")
file(COPY_FILE "${CPACK_TELLTALE_DEBIAN_DIR}/copyright" "${docs}/copyright")
file(COPY_FILE "${CPACK_TELLTALE_DEBIAN_DIR}/changelog" "${docs}/changelog.Debian")
file(CHMOD "${docs}/copyright" "${docs}/changelog.Debian" FILE_PERMISSIONS ${readable})
gzip_in_place("${docs}/changelog.Debian")

# The package is not uploaded to Debian, so its first changelog entry has no
# "intent to package" bug to close.
set(overrides "${root}/share/lintian/overrides")
file(MAKE_DIRECTORY "${overrides}")
file(COPY_FILE "${CPACK_TELLTALE_DEBIAN_DIR}/lintian-overrides"
     "${overrides}/${CPACK_DEBIAN_PACKAGE_NAME}")
file(CHMOD "${overrides}/${CPACK_DEBIAN_PACKAGE_NAME}" FILE_PERMISSIONS ${readable})
