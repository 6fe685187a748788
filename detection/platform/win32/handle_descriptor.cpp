// SPDX-License-Identifier: Apache-2.0
#include "telltale/platform/win32/handle_descriptor.h"

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdint>

#include "telltale/platform/system_error.h"
#include "telltale/platform/win32/win32_error.h"

namespace telltale {

int DescriptorOfHandle(HANDLE handle, std::string_view name) {
  const int fd = ::_open_osfhandle(reinterpret_cast<std::intptr_t>(handle), _O_RDONLY);
  if (fd < 0) {
    ::CloseHandle(handle);
    ThrowErrno(EMFILE, name);
  }
  return fd;
}

HANDLE HandleOfDescriptor(int fd, std::string_view name) {
  const std::intptr_t handle = ::_get_osfhandle(fd);
  // -2: a standard stream without a handle.
  if (handle == -1 || handle == -2 || handle == 0) {
    ThrowErrno(EBADF, name);
  }
  return reinterpret_cast<HANDLE>(handle);
}

std::wstring FinalPathOf(int fd, std::string_view name) {
  const HANDLE handle = HandleOfDescriptor(fd, name);
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetFinalPathNameByHandleW(
        handle, path.data(), static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
    if (length == 0) {
      ThrowLastWin32Error(name);
    }
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(length);  // the size it needs, with its terminator
  }
}

}  // namespace telltale
