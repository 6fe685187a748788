// SPDX-License-Identifier: Apache-2.0
// Opening an input file and reading its state through Win32 calls.
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <string>

#include "telltale/input_file.h"
#include "telltale/platform/win32/extended_length_path.h"
#include "telltale/platform/win32/handle_descriptor.h"
#include "telltale/platform/win32/wide_text.h"
#include "telltale/platform/win32/win32_error.h"
#include "telltale/scan_error.h"

namespace telltale {
namespace {

// Opened as "no directory": the name is a path of its own.
constexpr int kNoDirectory = -1;

// Only files on a disk have a size and can be read at any offset; pipes,
// consoles and other devices are refused before any read.
void RequireDiskFile(HANDLE handle, const std::string& path) {
  switch (::GetFileType(handle)) {
    case FILE_TYPE_DISK:
      return;
    case FILE_TYPE_PIPE:
      ThrowScanError(ScanErrc::kNamedPipe, path);
    case FILE_TYPE_CHAR:
      ThrowScanError(ScanErrc::kCharacterDevice, path);
    default:
      ThrowScanError(ScanErrc::kNotAFile, path);
  }
}

BY_HANDLE_FILE_INFORMATION InformationOf(HANDLE handle, const std::string& path) {
  BY_HANDLE_FILE_INFORMATION information{};
  if (::GetFileInformationByHandle(handle, &information) == 0) {
    ThrowLastWin32Error(path);
  }
  if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    ThrowErrno(EISDIR, path);
  }
  return information;
}

// FILETIME counts 100 ns from 1601; timespec seconds from 1970.
timespec AsTimespec(const FILETIME& time) {
  constexpr std::uint64_t kTicksPerSecond = 10'000'000;
  constexpr std::uint64_t kTicksTo1970 = 116'444'736'000'000'000;
  const std::uint64_t ticks =
      (static_cast<std::uint64_t>(time.dwHighDateTime) << 32U) | time.dwLowDateTime;
  const std::uint64_t since_1970 = ticks - kTicksTo1970;
  timespec converted{};
  converted.tv_sec = static_cast<decltype(converted.tv_sec)>(since_1970 / kTicksPerSecond);
  converted.tv_nsec = static_cast<long>((since_1970 % kTicksPerSecond) * 100);
  return converted;
}

}  // namespace

InputFile::InputFile(const std::string& path) : path_(path) { Open(kNoDirectory, path, true); }

void InputFile::Open(int directory_fd, const std::string& name, bool follow_links) {
  if (name.empty()) {
    ThrowErrno(ENOENT, path_);
  }
  if (name.find('\0') != std::string::npos) {
    ThrowErrno(EINVAL, path_);  // the system would open a shorter name
  }
  // The folder as it is now, wherever it was moved: the walk stays in it.
  const std::wstring wide = directory_fd == kNoDirectory ? ExtendedLengthPathOfUtf8(name, path_)
                                                         : FinalPathOf(directory_fd, path_) +
                                                               L'\\' + WideFromUtf8(name, path_);
  // Others may go on writing, renaming or deleting the file while it is
  // read, as on Linux. Backup semantics let a folder open, to be refused as
  // one ("Is a directory") rather than with "Permission denied"; a link not
  // followed opens as itself and is refused below.
  const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_SEQUENTIAL_SCAN |
                      (follow_links ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  const auto open = [&](DWORD access) {
    return ::CreateFileW(wide.c_str(), access,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, flags, nullptr);
  };
  // The right to write the file's attributes lets the handle be told not to
  // update the access time, which an examiner may rely on. Without that
  // right (another's file, read-only media) the file is read as any reader
  // would read it.
  HANDLE handle = open(GENERIC_READ | FILE_WRITE_ATTRIBUTES);
  if (handle == INVALID_HANDLE_VALUE &&
      (::GetLastError() == ERROR_ACCESS_DENIED || ::GetLastError() == ERROR_WRITE_PROTECT)) {
    access_time_kept_ = false;
    handle = open(GENERIC_READ);
  }
  if (handle == INVALID_HANDLE_VALUE) {
    ThrowLastWin32Error(path_);
  }
  if (access_time_kept_) {
    // All bits set: this handle's reads leave the last-access time alone.
    const FILETIME keep{0xFFFFFFFF, 0xFFFFFFFF};
    access_time_kept_ = ::SetFileTime(handle, nullptr, &keep, nullptr) != 0;
  }
  fd_ = DescriptorOfHandle(handle, path_);
  try {
    RequireDiskFile(handle, path_);
    if (!follow_links &&
        (InformationOf(handle, path_).dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      ThrowErrno(ELOOP, path_);  // a link put in the file's place
    }
    opened_ = CurrentVersion();
    size_ = opened_.size;
    stream_ = false;
  } catch (...) {
    ::_close(fd_);
    throw;
  }
}

InputFile::~InputFile() { ::_close(fd_); }

InputFile::Version InputFile::CurrentVersion() const {
  const BY_HANDLE_FILE_INFORMATION information =
      InformationOf(HandleOfDescriptor(fd_, path_), path_);
  return Version{
      (static_cast<std::uint64_t>(information.nFileSizeHigh) << 32U) | information.nFileSizeLow,
      AsTimespec(information.ftLastWriteTime)};
}

std::string_view AccessTimeHandling() {
  return "kept where the user may write a file's attributes";
}

}  // namespace telltale
