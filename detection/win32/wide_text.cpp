#include "detection/win32/wide_text.h"

#include <windows.h>

#include <cerrno>
#include <climits>

#include "detection/scan_error.h"

namespace telltale {

std::wstring WideFromUtf8(std::string_view text, std::string_view name) {
  if (text.empty()) {
    return {};
  }
  if (text.size() > INT_MAX) {
    ThrowErrno(ENAMETOOLONG, name);
  }
  const auto length = static_cast<int>(text.size());
  const int wide_length =
      ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
  if (wide_length <= 0) {
    ThrowErrno(EILSEQ, name);
  }
  std::wstring wide(static_cast<std::size_t>(wide_length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, wide.data(),
                        wide_length);
  return wide;
}

std::string Utf8FromWide(std::wstring_view text) {
  if (text.empty()) {
    return {};
  }
  const auto length = static_cast<int>(text.size());
  const int narrow_length =
      ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(narrow_length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, narrow.data(), narrow_length, nullptr,
                        nullptr);
  return narrow;
}

}  // namespace telltale
