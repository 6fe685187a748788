// SPDX-License-Identifier: Apache-2.0
// Win32 handles behind C runtime descriptors. The program passes files around
// as descriptors (int) on every system; on Windows each wraps a handle, which
// the file services use directly, never through the C runtime's reads.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace telltale {

// A descriptor that owns `handle` from now on: closing it closes the handle.
// Closes the handle and throws std::system_error named `name` on failure.
int DescriptorOfHandle(HANDLE handle, std::string_view name);

// The handle behind `fd`; throws std::system_error (EBADF) when there is none,
// as for a standard stream the program was started without.
HANDLE HandleOfDescriptor(int fd, std::string_view name);

// The full path of the file or folder open as `fd`, in the \\?\ form that
// takes a name of any length appended after a backslash.
std::wstring FinalPathOf(int fd, std::string_view name);

}  // namespace telltale
