// SPDX-License-Identifier: Apache-2.0
// The window's logo at a screen's DPI.
#pragma once

#include <windows.h>

namespace telltale::win32 {

// The LOGO bitmap of the program's resources, enlarged by the largest whole
// factor `dpi` holds of 96 (twice at 192, once at 144) so that it stays
// sharp: each of its pixels a square of whole pixels, never smeared over
// part of one. The caller deletes it; throws where the system refuses.
HBITMAP LoadLogo(HINSTANCE instance, int dpi);

}  // namespace telltale::win32
