// Opening the display the window is shown on.
#pragma once

#include <QApplication>
#include <memory>

namespace telltale {

// The application, on the display the environment names. Where there is no
// display to be had, the program ends with status 2 and one line on standard
// error, "telltale: no display: REASON", instead of the windowing library's
// abort.
std::unique_ptr<QApplication> OpenDisplay(int& argc, char** argv);

}  // namespace telltale
