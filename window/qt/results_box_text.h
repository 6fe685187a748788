// SPDX-License-Identifier: Apache-2.0
// A Run's text as the results box shows it.
#pragma once

#include <QString>
#include <string_view>

namespace telltale {

// The bytes decoded as file names are, so that the path reads as the Open
// dialog showed it, and each CR LF a line break.
QString ResultsBoxText(std::string_view text);

}  // namespace telltale
