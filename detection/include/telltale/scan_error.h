// SPDX-License-Identifier: Apache-2.0
// Failures that have no errno of their own. Every failure of a Run is a
// std::system_error: code() gives the number and its message() the
// description, what() adds the file's name.
#pragma once

#include <cerrno>
#include <new>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "telltale/platform/system_error.h"  // IWYU pragma: export

namespace telltale {

enum class ScanErrc {
  kNamedPipe = 1001,
  kSocket,
  kCharacterDevice,
  kNotAFile,
  kFileShrank,
  kFileChanged,
  kDirectoryMoved,
};

const std::error_category& ScanCategory();

inline std::error_code make_error_code(ScanErrc e) { return {static_cast<int>(e), ScanCategory()}; }

// A std::system_error whose what() reads "<path>: <description>".
[[noreturn]] inline void ThrowScanError(ScanErrc error, std::string_view path) {
  ThrowSystemError(make_error_code(error), path);
}

// Calls `work`, turning std::bad_alloc into the std::system_error (ENOMEM)
// that every failure of a scan is, named after `path`.
template <typename Work>
decltype(auto) TranslatingOutOfMemory(std::string_view path, Work&& work) {
  try {
    return std::forward<Work>(work)();
  } catch (const std::bad_alloc&) {
    ThrowErrno(ENOMEM, path);
  }
}

}  // namespace telltale

template <>
struct std::is_error_code_enum<telltale::ScanErrc> : std::true_type {};
