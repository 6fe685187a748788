// SPDX-License-Identifier: Apache-2.0
#include "cli/directory_entries.h"

#include <io.h>
#include <windows.h>

#include <cerrno>
#include <string_view>

#include "telltale/platform/win32/extended_length_path.h"
#include "telltale/platform/win32/handle_descriptor.h"
#include "telltale/platform/win32/wide_text.h"
#include "telltale/platform/win32/win32_error.h"

namespace telltale::cli {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::error_code LastError() { return Win32ErrorCode(::GetLastError()); }

// Runs `work` and turns the std::system_error it throws into a returned code.
template <typename Work>
std::error_code Caught(Work&& work) {
  try {
    return work();
  } catch (const std::system_error& e) {
    return e.code();
  }
}

// `name` in the directory open as `directory_fd`.
std::wstring PathAt(int directory_fd, const std::string& name) {
  return FinalPathOf(directory_fd, name) + L'\\' + WideFromUtf8(name, name);
}

// Junctions and symbolic links (to files or folders) are the reparse points
// that stand for another name; others (deduplicated or cloud files) are the
// files themselves.
bool IsLink(HANDLE handle, DWORD attributes) {
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    return false;
  }
  FILE_ATTRIBUTE_TAG_INFO tag{};
  if (::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag) == 0) {
    return true;  // cannot tell: not followed
  }
  return IsReparseTagNameSurrogate(tag.ReparseTag);
}

// Opens `path` as a directory, a link in its place opened as itself unless
// `follow_links`; -1 with `error` set when it fails or is not a directory.
int OpenDirectoryHandle(const std::wstring& path, bool follow_links, std::error_code& error) {
  const HANDLE handle = ::CreateFileW(
      path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
      FILE_FLAG_BACKUP_SEMANTICS | (follow_links ? 0 : FILE_FLAG_OPEN_REPARSE_POINT), nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    error = LastError();
    return -1;
  }
  BY_HANDLE_FILE_INFORMATION information{};
  if (::GetFileInformationByHandle(handle, &information) == 0) {
    error = LastError();
  } else if (!follow_links && IsLink(handle, information.dwFileAttributes)) {
    error = std::make_error_code(std::errc::too_many_symbolic_link_levels);
  } else if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    error = std::make_error_code(std::errc::not_a_directory);
  } else {
    error.clear();
    return DescriptorOfHandle(handle, "directory");  // closes the handle if it throws
  }
  ::CloseHandle(handle);
  return -1;
}

}  // namespace

bool IsDirectory(const std::string& path) { return IsFolderPath(path); }

int OpenDirectoryPath(const std::string& path, std::error_code& error) {
  int fd = -1;
  error = Caught([&] {
    std::error_code opened;
    fd = OpenDirectoryHandle(ExtendedLengthPathOfUtf8(path, path), true, opened);
    return opened;
  });
  return fd;
}

int OpenDirectoryAt(int directory_fd, const std::string& name, bool follow_links,
                    std::error_code& error) {
  int fd = -1;
  error = Caught([&] {
    std::error_code opened;
    fd = OpenDirectoryHandle(PathAt(directory_fd, name), follow_links, opened);
    return opened;
  });
  return fd;
}

int OpenParentDirectory(int directory_fd, std::error_code& error) {
  int fd = -1;
  error = Caught([&] {
    // The system takes a final path ("\\?\C:\a\b") as written, without
    // resolving "..": the parent is the path without its last name.
    std::wstring path = FinalPathOf(directory_fd, "directory");
    const std::size_t last = path.find_last_of(L'\\');
    if (last == std::wstring::npos || last + 1 == path.size()) {
      return std::make_error_code(std::errc::no_such_file_or_directory);  // a drive's root
    }
    path.erase(last);
    if (path.ends_with(L':')) {
      path += L'\\';  // "\\?\C:" is the drive, "\\?\C:\" its root folder
    }
    std::error_code opened;
    fd = OpenDirectoryHandle(path, true, opened);
    return opened;
  });
  return fd;
}

std::error_code StatusAt(int directory_fd, const std::string& name, bool follow_links,
                         EntryStatus& status) {
  return Caught([&] {
    const std::wstring path = PathAt(directory_fd, name);
    // Attributes only: opening so reads nothing and waits for nobody.
    const HANDLE handle = ::CreateFileW(
        path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | (follow_links ? 0 : FILE_FLAG_OPEN_REPARSE_POINT), nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      return LastError();
    }
    std::error_code error;
    BY_HANDLE_FILE_INFORMATION information{};
    if (::GetFileType(handle) == FILE_TYPE_PIPE) {
      status = {EntryStatus::Type::kSpecial, "a named pipe"};
    } else if (::GetFileType(handle) == FILE_TYPE_CHAR) {
      status = {EntryStatus::Type::kSpecial, "a character device"};
    } else if (::GetFileInformationByHandle(handle, &information) == 0) {
      error = LastError();
    } else if (!follow_links && IsLink(handle, information.dwFileAttributes)) {
      status = {EntryStatus::Type::kLink, {}};
    } else if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      status = {EntryStatus::Type::kDirectory, {}};
    } else {
      status = {EntryStatus::Type::kFile, {}};
    }
    ::CloseHandle(handle);
    return error;
  });
}

std::error_code IdentityOf(int directory_fd, DirectoryIdentity& identity) {
  return Caught([&] {
    BY_HANDLE_FILE_INFORMATION information{};
    if (::GetFileInformationByHandle(HandleOfDescriptor(directory_fd, "directory"), &information) ==
        0) {
      return LastError();
    }
    identity = {information.dwVolumeSerialNumber,
                (static_cast<std::uint64_t>(information.nFileIndexHigh) << 32U) |
                    information.nFileIndexLow};
    return std::error_code();
  });
}

std::error_code ReadNames(int directory_fd, std::vector<std::string>& names) {
  return Caught([&] {
    const std::wstring pattern = FinalPathOf(directory_fd, "directory") + L"\\*";
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                             FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) {
      // A drive's root has no "." and "..": nothing found is an empty folder.
      const DWORD error = ::GetLastError();
      return error == ERROR_FILE_NOT_FOUND ? std::error_code() : Win32ErrorCode(error);
    }
    std::error_code error;
    do {
      const std::wstring_view name = found.cFileName;
      if (name != L"." && name != L"..") {
        names.push_back(Utf8FromWide(name));
      }
    } while (::FindNextFileW(search, &found) != 0);
    if (const DWORD last = ::GetLastError(); last != ERROR_NO_MORE_FILES) {
      error = Win32ErrorCode(last);
    }
    ::FindClose(search);
    return error;
  });
}

void CloseDirectory(int directory_fd) { ::_close(directory_fd); }

std::string Joined(const std::string& path, const std::string& name) {
  // "C:" + name is a name in drive C's current folder, as "C:name" means.
  if (path.ends_with('\\') || path.ends_with('/') || path.ends_with(':')) {
    return path + name;
  }
  return path + '\\' + name;
}

}  // namespace telltale::cli
