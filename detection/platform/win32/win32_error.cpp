// SPDX-License-Identifier: Apache-2.0
#include "telltale/platform/win32/win32_error.h"

#include <windows.h>

#include <cerrno>

#include "telltale/platform/system_error.h"

namespace telltale {

std::error_code Win32ErrorCode(unsigned long error) {
  const auto errno_code = [](std::errc condition) { return std::make_error_code(condition); };
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_NAME:  // "a<b": no file can have that name
      return errno_code(std::errc::no_such_file_or_directory);
    case ERROR_ACCESS_DENIED:
    case ERROR_NETWORK_ACCESS_DENIED:
    case ERROR_LOCK_VIOLATION:
    // Another program holds the file open without sharing it; the C runtime
    // says the same for it.
    case ERROR_SHARING_VIOLATION:
      return errno_code(std::errc::permission_denied);
    case ERROR_DIRECTORY:  // a file where a folder was wanted
      return errno_code(std::errc::not_a_directory);
    case ERROR_FILENAME_EXCED_RANGE:
      return errno_code(std::errc::filename_too_long);
    case ERROR_CANT_RESOLVE_FILENAME:  // links that lead back to themselves
      return errno_code(std::errc::too_many_symbolic_link_levels);
    case ERROR_NO_UNICODE_TRANSLATION:
      return errno_code(std::errc::illegal_byte_sequence);
    case ERROR_INVALID_HANDLE:
      return errno_code(std::errc::bad_file_descriptor);
    case ERROR_TOO_MANY_OPEN_FILES:
      return errno_code(std::errc::too_many_files_open);
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return errno_code(std::errc::not_enough_memory);
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:  // writing to a pipe whose reader has gone
      return errno_code(std::errc::broken_pipe);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return errno_code(std::errc::no_space_on_device);
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return errno_code(std::errc::file_exists);
    case ERROR_INVALID_PARAMETER:
      return errno_code(std::errc::invalid_argument);
    case ERROR_OPERATION_ABORTED:
      return errno_code(std::errc::operation_canceled);
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_SECTOR_NOT_FOUND:
    case ERROR_GEN_FAILURE:
    case ERROR_IO_DEVICE:
      return errno_code(std::errc::io_error);
    default:
      return {static_cast<int>(error), std::system_category()};
  }
}

void ThrowWin32Error(unsigned long error, std::string_view path) {
  ThrowSystemError(Win32ErrorCode(error), path);
}

void ThrowLastWin32Error(std::string_view path) { ThrowWin32Error(::GetLastError(), path); }

}  // namespace telltale
