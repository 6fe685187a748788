// SPDX-License-Identifier: Apache-2.0
// Opening the display the window is shown on.
#pragma once

#include <QApplication>
#include <memory>

namespace telltale {

// The application, on the display the environment names. Where there is no
// display to be had, the program ends with status 2 and one line on standard
// error, "telltale: no display: REASON", instead of the windowing library's
// abort.
//
// `argv` is the program's whole command line, but the windowing library is
// given its first word only, the program's name: no other word, a file name
// included, is read as one of its options (-stylesheet, -reverse, -platform
// and the like). Its settings come from the environment (QT_QPA_PLATFORM and
// the like) alone. Once only in a process.
std::unique_ptr<QApplication> OpenDisplay(int argc, char** argv);

}  // namespace telltale
