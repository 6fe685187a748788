// SPDX-License-Identifier: Apache-2.0
// The window class of Form1 and the font its controls are drawn in.
#pragma once

#include <windows.h>

namespace telltale::win32 {

inline constexpr wchar_t kForm1ClassName[] = L"TelltaleForm1";

// Registers Form1's class, with `procedure`, the program's icon and the
// colour text boxes have as its background; throws where the system refuses.
void RegisterForm1Class(HINSTANCE instance, WNDPROC procedure);

// The system's message font at `dpi` dots per inch, brought down to the
// point size the layout was drawn for; the classic dialog font where the
// system will not tell. The caller deletes it.
HFONT MakeLayoutFont(int dpi);

}  // namespace telltale::win32
