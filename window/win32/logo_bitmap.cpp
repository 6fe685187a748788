// SPDX-License-Identifier: Apache-2.0
#include "window/win32/logo_bitmap.h"

#include <algorithm>

#include "window/common/form1_layout.h"
#include "window/win32/last_error.h"

namespace telltale::win32 {
namespace {

// A device context of the screen's, deleted at the end of its scope.
class MemoryContext {
 public:
  MemoryContext() : context_(CreateCompatibleDC(nullptr)) {
    if (context_ == nullptr) {
      ThrowLastError("cannot draw the logo");
    }
  }
  ~MemoryContext() { DeleteDC(context_); }
  MemoryContext(const MemoryContext&) = delete;
  MemoryContext& operator=(const MemoryContext&) = delete;
  [[nodiscard]] HDC get() const { return context_; }

 private:
  HDC context_;
};

}  // namespace

HBITMAP LoadLogo(HINSTANCE instance, int dpi) {
  auto* logo = static_cast<HBITMAP>(LoadImageW(instance, L"LOGO", IMAGE_BITMAP, 0, 0, 0));
  if (logo == nullptr) {
    ThrowLastError("cannot load the logo");
  }
  const int factor = std::max(1, dpi / form1::kDefaultDpi);
  if (factor == 1) {
    return logo;
  }
  BITMAP size{};
  GetObjectW(logo, sizeof(size), &size);
  const MemoryContext from;
  const MemoryContext to;
  HDC screen = GetDC(nullptr);
  HBITMAP large = CreateCompatibleBitmap(screen, size.bmWidth * factor, size.bmHeight * factor);
  ReleaseDC(nullptr, screen);
  if (large == nullptr) {
    DeleteObject(logo);
    ThrowLastError("cannot enlarge the logo");
  }
  HGDIOBJ from_before = SelectObject(from.get(), logo);
  HGDIOBJ to_before = SelectObject(to.get(), large);
  // Each source pixel copied whole to a square: no blending at a whole factor.
  SetStretchBltMode(to.get(), COLORONCOLOR);
  const BOOL drawn = StretchBlt(to.get(), 0, 0, size.bmWidth * factor, size.bmHeight * factor,
                                from.get(), 0, 0, size.bmWidth, size.bmHeight, SRCCOPY);
  SelectObject(from.get(), from_before);
  SelectObject(to.get(), to_before);
  DeleteObject(logo);
  if (drawn == 0) {
    DeleteObject(large);
    ThrowLastError("cannot enlarge the logo");
  }
  return large;
}

}  // namespace telltale::win32
