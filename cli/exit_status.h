// SPDX-License-Identifier: Apache-2.0
// The exit statuses, as grep has them.
#pragma once

namespace telltale::cli {

inline constexpr int kExitFound = 0;    // something was reported
inline constexpr int kExitNothing = 1;  // nothing was found
inline constexpr int kExitTrouble = 2;  // some input failed, or the command line was wrong

}  // namespace telltale::cli
