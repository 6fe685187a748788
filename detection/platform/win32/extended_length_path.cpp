// SPDX-License-Identifier: Apache-2.0
#include "telltale/platform/win32/extended_length_path.h"

#include <windows.h>

#include <cerrno>
#include <system_error>

#include "telltale/platform/system_error.h"
#include "telltale/platform/win32/wide_text.h"
#include "telltale/platform/win32/win32_error.h"

namespace telltale {
namespace {

constexpr std::wstring_view kExtended = L"\\\\?\\";
constexpr std::wstring_view kNtObjects = L"\\??\\";
constexpr std::wstring_view kDevice = L"\\\\.\\";
constexpr std::wstring_view kShare = L"\\\\";

// The path as the system resolves it: absolute, "/" as "\", no "." or ".."
// steps, no dots or spaces at the end of the last name.
std::wstring FullPath(const std::wstring& path, std::string_view name) {
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0) {
      ThrowLastWin32Error(name);
    }
    if (length < full.size()) {
      full.resize(length);
      return full;
    }
    full.resize(length);  // the size it needs, with its terminator
  }
}

}  // namespace

std::wstring ExtendedLengthPath(std::wstring_view path, std::string_view name) {
  if (path.find(L'\0') != std::wstring_view::npos) {
    ThrowErrno(EINVAL, name);
  }
  if (path.empty() || path.starts_with(kExtended) || path.starts_with(kNtObjects)) {
    return std::wstring(path);
  }
  std::wstring full = FullPath(std::wstring(path), name);
  if (full.starts_with(kExtended) || full.starts_with(kDevice)) {
    return full;  // "//?/..." and "//./..." come back so: a device's path
  }
  if (full.starts_with(kShare)) {
    return std::wstring(kExtended) + L"UNC" + full.substr(1);  // keeps one "\" of the two
  }
  return std::wstring(kExtended) + full;
}

std::wstring ExtendedLengthPathOfUtf8(std::string_view path, std::string_view name) {
  return ExtendedLengthPath(WideFromUtf8(path, name), name);
}

bool IsFolderPath(std::string_view path) {
  try {
    const DWORD attributes = ::GetFileAttributesW(ExtendedLengthPathOfUtf8(path, path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  } catch (const std::system_error&) {
    return false;
  }
}

}  // namespace telltale
