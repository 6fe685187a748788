# SPDX-License-Identifier: Apache-2.0
# telltale_include_folders(<target> PUBLIC|PRIVATE <folder>...) lets <target>
# (and, PUBLIC, what links it) include the
# headers of the named folders of the tree as "<folder>/name.h", and nothing
# else of it: each target gets an include folder of its own in the build
# tree holding only links to those folders. No target has the whole tree on
# its include path, so the detection library's internal/ is reached only by
# what is given detection/ itself (the library and its tests), and the
# compiler refuses it to the programs.
function(telltale_include_folders target scope)
  set(root ${PROJECT_BINARY_DIR}/include-folders/${target})
  foreach(folder IN LISTS ARGN)
    set(link ${root}/${folder})
    if(NOT IS_SYMLINK ${link})
      get_filename_component(parent ${link} DIRECTORY)
      file(MAKE_DIRECTORY ${parent})
      file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${link} SYMBOLIC)
    endif()
  endforeach()
  target_include_directories(${target} ${scope} ${root})
endfunction()
