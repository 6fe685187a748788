# SPDX-License-Identifier: Apache-2.0
# Compiles the Windows resource script, reads the result back and checks the
# version record, the names of the icon and the logo, and the manifest:
#   cmake -DWINDRES=... -DRC=... -DGENERATED=... -DWORK=... -P this file
get_filename_component(rc_dir ${RC} DIRECTORY)
set(res ${WORK}/telltale_version.res)
# windres needs a C preprocessor; the host's serves, as the script includes
# no Windows headers.
execute_process(
  COMMAND ${WINDRES} --preprocessor=cpp -I ${rc_dir} -I ${GENERATED} -i ${RC} -O res -o ${res}
  RESULT_VARIABLE compiled)
if(NOT compiled EQUAL 0)
  message(FATAL_ERROR "windres could not compile ${RC}")
endif()
execute_process(COMMAND ${WINDRES} -i ${res} -O rc OUTPUT_VARIABLE decompiled RESULT_VARIABLE read)
if(NOT read EQUAL 0)
  message(FATAL_ERROR "windres could not read back ${res}")
endif()

foreach(expected
    "FILEVERSION 1, 0, 0, 0"
    "PRODUCTVERSION 1, 0, 0, 0"
    "BLOCK \"040904B0\""
    "VALUE \"FileVersion\", \"1.00\""
    "VALUE \"ProductVersion\", \"1.00\""
    "VALUE \"ProductName\", \"Telltale\""
    "VALUE \"Translation\", 0x409, 1200"
    # The names the program loads its icon and logo by.
    "\"IDI_ICON1\" 14 /* RT_GROUP_ICON */"
    "\"LOGO\" 2 /* RT_BITMAP */"
    # The manifest, where the system looks for it when it starts the program.
    "1 24 /* RT_MANIFEST */"
    "name=\"\"Microsoft.Windows.Common-Controls\"\" version=\"\"6.0.0.0\"\""
    # Wine 8 treats every program as aware of the DPI, so only here can a
    # manifest that no longer declares it be caught.
    ">PerMonitorV2, PerMonitor</dpiAwareness>"
    ">true/pm</dpiAware>")
  string(FIND "${decompiled}" "${expected}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the resources lack ${expected}:\n${decompiled}")
  endif()
endforeach()
