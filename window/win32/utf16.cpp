#include "window/win32/utf16.h"

#include <windows.h>

#include <climits>
#include <system_error>

namespace telltale::win32 {
namespace {

// The conversion functions count in int.
int Length(std::size_t size) {
  if (size > static_cast<std::size_t>(INT_MAX)) {
    throw std::system_error(ERROR_ARITHMETIC_OVERFLOW, std::system_category(),
                            "text too long to convert");
  }
  return static_cast<int>(size);
}

[[noreturn]] void ThrowLastError(const char* what) {
  throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), what);
}

}  // namespace

std::wstring ToUtf16(std::string_view utf8) {
  if (utf8.empty()) {
    return {};
  }
  const int size = Length(utf8.size());
  const int wide = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  if (wide == 0) {
    ThrowLastError("UTF-8 to UTF-16");
  }
  std::wstring text(static_cast<std::size_t>(wide), L'\0');
  if (MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, text.data(), wide) != wide) {
    ThrowLastError("UTF-8 to UTF-16");
  }
  return text;
}

std::string ToUtf8(std::wstring_view utf16) {
  if (utf16.empty()) {
    return {};
  }
  const int size = Length(utf16.size());
  const int narrow =
      WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr);
  if (narrow == 0) {
    ThrowLastError("UTF-16 to UTF-8");
  }
  std::string text(static_cast<std::size_t>(narrow), '\0');
  if (WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, text.data(), narrow, nullptr, nullptr) !=
      narrow) {
    ThrowLastError("UTF-16 to UTF-8");
  }
  return text;
}

}  // namespace telltale::win32
