# SPDX-License-Identifier: Apache-2.0
# telltale's command line without a display: help, version, refusals and the
# missing display each end with their own status and one clear message.
#   cmake -DTELLTALE=path/to/telltale -P check_command_line.cmake

function(expect description expected_status expected_output)
  execute_process(COMMAND env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ${ARGN}
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 30)
  if(NOT status STREQUAL expected_status)
    message(SEND_ERROR "${description}: status ${status}, expected ${expected_status}\n${out}${err}")
  endif()
  if(NOT "${out}${err}" MATCHES "${expected_output}")
    message(SEND_ERROR "${description}: printed\n${out}${err}\nexpected to match ${expected_output}")
  endif()
endfunction()

expect("no display" 2 "^telltale: no display: [^\n]+\n$" ${TELLTALE} some.jpg)
expect("a display nobody answers" 2 "^telltale: no display: [^\n]+\n$"
       env DISPLAY=:987 ${TELLTALE})
expect("unknown option" 2 "^telltale: unknown option '--bogus'; usage: [^\n]+\n$"
       ${TELLTALE} --bogus)
# A word with an escape sequence is quoted as a shell reads it back, never
# printed raw, where the terminal would act on it.
string(ASCII 27 escape)
expect("unknown option with an escape sequence" 2
       "^telltale: unknown option '-'\\$'\\\\033''\\[31mX'; usage: [^\n]+\n$"
       ${TELLTALE} "-${escape}[31mX")
expect("two files" 2 "^telltale: takes one file at most; usage: [^\n]+\n$" ${TELLTALE} a b)
expect("version" 0 "^Telltale 1\\.00\nCopyright \\(C\\) [0-9]+ The Telltale authors\nLicensed under the Apache License, Version 2\\.0\\.\n$"
       ${TELLTALE} --version)
expect("help" 0 "^Usage: telltale \\[FILE\\]\n" ${TELLTALE} --help)
expect("help-all" 0 "^Usage: telltale \\[FILE\\]\n" ${TELLTALE} --help-all)
# Only the program's own options: none of the windowing library's.
execute_process(COMMAND ${TELLTALE} --help-all OUTPUT_VARIABLE help)
if(help MATCHES "qmljsdebugger|-platform|-reverse")
  message(SEND_ERROR "--help-all lists the windowing library's options:\n${help}")
endif()
