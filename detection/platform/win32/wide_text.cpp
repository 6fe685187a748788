// SPDX-License-Identifier: Apache-2.0
#include "telltale/platform/win32/wide_text.h"

#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "telltale/platform/system_error.h"

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

std::wstring WideForDisplay(std::string_view text) {
  std::wstring wide;
  // In pieces, each short enough for an int.
  constexpr std::size_t kPiece = std::size_t{1} << 20;
  for (std::size_t done = 0; done < text.size();) {
    std::size_t count = std::min(kPiece, text.size() - done);
    // Not inside a character: back up to its first byte.
    while (done + count < text.size() && count > 0 &&
           (static_cast<unsigned char>(text[done + count]) & 0xC0U) == 0x80U) {
      --count;
    }
    if (count == 0) {
      count = std::min(kPiece, text.size() - done);
    }
    const auto length = static_cast<int>(count);
    const int wide_length =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data() + done, length, nullptr, 0);
    const std::size_t at = wide.size();
    wide.resize(at + static_cast<std::size_t>(wide_length));
    ::MultiByteToWideChar(CP_UTF8, 0, text.data() + done, length, wide.data() + at, wide_length);
    done += count;
  }
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
