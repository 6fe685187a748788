// Whole-buffer transfers through the Win32 handles behind descriptors:
// ReadFile and WriteFile, never the C runtime, so that no byte (CR LF,
// Ctrl+Z) is translated whatever the descriptor's mode.
#include "detection/descriptor_io.h"

#include <windows.h>

#include <algorithm>
#include <cerrno>

#include "detection/scan_error.h"
#include "detection/win32/handle_descriptor.h"
#include "detection/win32/win32_error.h"

namespace telltale {
namespace {

// ReadFile and WriteFile count in DWORD.
DWORD Portion(std::size_t rest) {
  return static_cast<DWORD>(std::min<std::size_t>(rest, std::size_t{1} << 30));
}

// The input has ended, rather than failed: a pipe whose writer has closed it,
// or a read at or past the end of a file.
bool IsEnd(DWORD error) { return error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF; }

}  // namespace

std::size_t ReadFully(int fd, std::span<unsigned char> buffer, const std::string& name) {
  const HANDLE handle = HandleOfDescriptor(fd, name);
  std::size_t done = 0;
  while (done < buffer.size()) {
    DWORD got = 0;
    if (::ReadFile(handle, buffer.data() + done, Portion(buffer.size() - done), &got, nullptr) ==
        0) {
      const DWORD error = ::GetLastError();
      if (IsEnd(error)) {
        break;
      }
      ThrowWin32Error(error, name);
    }
    if (got == 0) {
      break;
    }
    done += got;
  }
  return done;
}

std::size_t ReadFullyAt(int fd, std::uint64_t offset, std::span<unsigned char> buffer,
                        const std::string& name) {
  const HANDLE handle = HandleOfDescriptor(fd, name);
  std::size_t done = 0;
  while (done < buffer.size()) {
    // The offset goes with each read, so that threads reading one handle at
    // once never share a file position.
    const std::uint64_t at = offset + done;
    OVERLAPPED where{};
    where.Offset = static_cast<DWORD>(at & 0xFFFFFFFFU);
    where.OffsetHigh = static_cast<DWORD>(at >> 32U);
    DWORD got = 0;
    if (::ReadFile(handle, buffer.data() + done, Portion(buffer.size() - done), &got, &where) ==
        0) {
      const DWORD error = ::GetLastError();
      if (IsEnd(error)) {
        break;
      }
      ThrowWin32Error(error, name);
    }
    if (got == 0) {
      break;
    }
    done += got;
  }
  return done;
}

void WriteFully(int fd, std::string_view text, const std::string& name) {
  const HANDLE handle = HandleOfDescriptor(fd, name);
  std::size_t done = 0;
  while (done < text.size()) {
    DWORD written = 0;
    if (::WriteFile(handle, text.data() + done, Portion(text.size() - done), &written, nullptr) ==
        0) {
      ThrowLastWin32Error(name);
    }
    if (written == 0) {
      ThrowErrno(EIO, name);
    }
    done += written;
  }
}

}  // namespace telltale
