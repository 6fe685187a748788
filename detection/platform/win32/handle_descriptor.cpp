// SPDX-License-Identifier: Apache-2.0
#include "telltale/platform/win32/handle_descriptor.h"

#include <fcntl.h>
#include <io.h>
#include <winternl.h>

#include <cerrno>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "telltale/platform/system_error.h"
#include "telltale/platform/win32/win32_error.h"

namespace telltale {
namespace {

// The object's name "\??\C:\dir\file", as Wine names a file on one of its
// drives, in the form "\\?\C:\dir\file" that the Win32 calls take; nothing
// for any other name (Windows names a file by its device, "\Device\...").
std::optional<std::wstring> ExtendedPathFromObjectName(HANDLE handle) {
  std::vector<unsigned char> buffer(sizeof(OBJECT_NAME_INFORMATION) + 1024);
  for (;;) {
    ULONG needed = 0;
    const NTSTATUS status = ::NtQueryObject(handle, ObjectNameInformation, buffer.data(),
                                            static_cast<ULONG>(buffer.size()), &needed);
    if (NT_SUCCESS(status)) {
      break;
    }
    if (needed <= buffer.size()) {
      return std::nullopt;
    }
    buffer.resize(needed);
  }
  const UNICODE_STRING& object =
      reinterpret_cast<const OBJECT_NAME_INFORMATION*>(buffer.data())->Name;
  const std::wstring_view name(object.Buffer, object.Length / sizeof(wchar_t));
  constexpr std::wstring_view kNtObjects = L"\\??\\";
  if (!name.starts_with(kNtObjects)) {
    return std::nullopt;
  }
  return L"\\\\?\\" + std::wstring(name.substr(kNtObjects.size()));
}

}  // namespace

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
      const DWORD error = ::GetLastError();
      // Wine's gives no path longer than MAX_PATH: the object's own name does.
      if (error == ERROR_MORE_DATA) {
        if (std::optional<std::wstring> extended = ExtendedPathFromObjectName(handle)) {
          return *extended;
        }
      }
      ThrowWin32Error(error, name);
    }
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(length);  // the size it needs, with its terminator
  }
}

}  // namespace telltale
