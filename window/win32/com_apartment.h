// SPDX-License-Identifier: Apache-2.0
// COM on the window's thread, for as long as the window lives: screen
// readers get the window's accessible objects through COM, marshalled from
// this thread, and the Open dialog may load shell extensions that need it.
#pragma once

#include <objbase.h>

#include <system_error>

namespace telltale::win32 {

class ComApartment {
 public:
  ComApartment() {
    const HRESULT result =
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    if (FAILED(result)) {
      throw std::system_error(static_cast<int>(result), std::system_category(),
                              "cannot start COM for the window");
    }
  }
  ~ComApartment() { CoUninitialize(); }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
};

}  // namespace telltale::win32
