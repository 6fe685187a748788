// SPDX-License-Identifier: Apache-2.0
// Whole-buffer transfers through the Win32 handles behind descriptors:
// ReadFile and WriteFile, never the C runtime, so that no byte (CR LF,
// Ctrl+Z) is translated whatever the descriptor's mode. Text for a console
// goes as UTF-16, which it shows whatever its code page.
#include "telltale/platform/descriptor_io.h"

#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <optional>

#include "telltale/platform/system_error.h"
#include "telltale/platform/win32/handle_descriptor.h"
#include "telltale/platform/win32/wide_text.h"
#include "telltale/platform/win32/win32_error.h"

namespace telltale {
namespace {

// ReadFile and WriteFile count in DWORD.
DWORD Portion(std::size_t rest) {
  return static_cast<DWORD>(std::min<std::size_t>(rest, std::size_t{1} << 30));
}

// The input has ended, rather than failed: a pipe whose writer has closed it,
// or a read at or past the end of a file.
bool IsEnd(DWORD error) { return error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF; }

// The console would show UTF-8 bytes in its own code page.
void WriteToConsole(HANDLE console, std::string_view text, const std::string& name) {
  const std::wstring wide = WideForDisplay(text);
  std::size_t done = 0;
  while (done < wide.size()) {
    DWORD written = 0;
    // A console takes a few thousand characters at a time.
    auto count = static_cast<DWORD>(std::min<std::size_t>(wide.size() - done, 8192));
    if (done + count < wide.size() && IS_HIGH_SURROGATE(wide[done + count - 1])) {
      --count;  // a character's two halves go together
    }
    if (::WriteConsoleW(console, wide.data() + done, count, &written, nullptr) == 0) {
      ThrowLastWin32Error(name);
    }
    if (written == 0) {
      ThrowErrno(EIO, name);
    }
    done += written;
  }
}

// One ReadFile: from `offset` when one is given, else from where the handle
// stands. A pipe gives what its writer has written so far, waiting only
// while that is nothing. Returns 0 at the end of the input.
std::size_t ReadOnce(HANDLE handle, std::optional<std::uint64_t> offset,
                     std::span<unsigned char> buffer, const std::string& name) {
  // The offset goes with each read, so that threads reading one handle at
  // once never share a file position.
  OVERLAPPED where{};
  if (offset) {
    where.Offset = static_cast<DWORD>(*offset & 0xFFFFFFFFU);
    where.OffsetHigh = static_cast<DWORD>(*offset >> 32U);
  }
  DWORD got = 0;
  if (::ReadFile(handle, buffer.data(), Portion(buffer.size()), &got, offset ? &where : nullptr) ==
      0) {
    const DWORD error = ::GetLastError();
    if (IsEnd(error)) {
      return 0;
    }
    ThrowWin32Error(error, name);
  }
  return got;
}

// Reads until `buffer` is full or the input ends: from `offset` when one is
// given, else from where the handle stands.
std::size_t ReadUntilFull(HANDLE handle, std::optional<std::uint64_t> offset,
                          std::span<unsigned char> buffer, const std::string& name) {
  std::size_t done = 0;
  while (done < buffer.size()) {
    const std::size_t got = ReadOnce(handle, offset ? std::optional(*offset + done) : std::nullopt,
                                     buffer.subspan(done), name);
    if (got == 0) {
      break;
    }
    done += got;
  }
  return done;
}

}  // namespace

std::size_t ReadFully(int fd, std::span<unsigned char> buffer, const std::string& name) {
  return ReadUntilFull(HandleOfDescriptor(fd, name), std::nullopt, buffer, name);
}

// Windows has no non-blocking files to read: every read gives what there is
// or waits for it as ReadFully does.
std::size_t ReadAvailable(int fd, std::span<unsigned char> buffer, const std::string& name) {
  return ReadFully(fd, buffer, name);
}

std::size_t ReadFullyAt(int fd, std::uint64_t offset, std::span<unsigned char> buffer,
                        const std::string& name) {
  return ReadUntilFull(HandleOfDescriptor(fd, name), offset, buffer, name);
}

std::size_t ReadSome(int fd, std::span<unsigned char> buffer, const std::string& name) {
  return ReadOnce(HandleOfDescriptor(fd, name), std::nullopt, buffer, name);
}

void WriteFully(int fd, std::string_view text, const std::string& name) {
  const HANDLE handle = HandleOfDescriptor(fd, name);
  if (DWORD mode = 0; ::GetConsoleMode(handle, &mode) != 0) {
    WriteToConsole(handle, text, name);
    return;
  }
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
