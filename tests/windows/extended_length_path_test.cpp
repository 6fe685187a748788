// SPDX-License-Identifier: Apache-2.0
// The \\?\ form in which every path the user gives reaches the Win32 calls:
// taken literally by the system, so it must be absolute and resolved first.
#include "telltale/platform/win32/extended_length_path.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace telltale {
namespace {

std::wstring Extended(std::wstring_view path) { return ExtendedLengthPath(path, "name"); }

TEST(ExtendedLengthPath, ResolvesDrivePathsAndSharesAsTheSystemWould) {
  EXPECT_EQ(Extended(L"C:\\a\\b.jpg"), L"\\\\?\\C:\\a\\b.jpg");
  EXPECT_EQ(Extended(L"C:/a/./b/../c.jpg"), L"\\\\?\\C:\\a\\c.jpg");
  EXPECT_EQ(Extended(L"\\\\server\\share\\a.jpg"), L"\\\\?\\UNC\\server\\share\\a.jpg");
  EXPECT_EQ(Extended(L"//server/share/x/../a.jpg"), L"\\\\?\\UNC\\server\\share\\a.jpg");
  // Dots and spaces that end the last name are dropped, as by any call.
  EXPECT_EQ(Extended(L"C:\\a\\b.jpg. "), L"\\\\?\\C:\\a\\b.jpg");
  const std::wstring deep = L"C:\\" + std::wstring(200, L'd') + L"\\" + std::wstring(200, L'e');
  EXPECT_EQ(Extended(deep), L"\\\\?\\" + deep);
}

TEST(ExtendedLengthPath, MakesRelativePathsAbsolute) {
  const std::wstring here = std::filesystem::current_path().wstring();
  const std::wstring in_here = here.ends_with(L'\\') ? here : here + L'\\';
  EXPECT_EQ(Extended(L"a\\b.jpg"), L"\\\\?\\" + in_here + L"a\\b.jpg");
  EXPECT_EQ(Extended(L"./a/../b.jpg"), L"\\\\?\\" + in_here + L"b.jpg");
  EXPECT_EQ(Extended(L"\\a.jpg"), L"\\\\?\\" + here.substr(0, 2) + L"\\a.jpg");  // this drive's
}

// A \\?\ path is the user's literal choice (a name ending in a dot, a ".."
// that is a name); a device's path names no file on a drive.
TEST(ExtendedLengthPath, LeavesExtendedNtAndDevicePathsAsTheyAre) {
  EXPECT_EQ(Extended(L"\\\\?\\C:\\a\\..\\b."), L"\\\\?\\C:\\a\\..\\b.");
  EXPECT_EQ(Extended(L"\\??\\C:\\a"), L"\\??\\C:\\a");
  EXPECT_EQ(Extended(L"\\\\.\\pipe\\a"), L"\\\\.\\pipe\\a");
  EXPECT_EQ(Extended(L"NUL"), L"\\\\.\\NUL");
  EXPECT_EQ(Extended(L""), L"");
}

TEST(ExtendedLengthPath, RefusesWhatNamesNoFile) {
  // Cut at the NUL, the system would open another file.
  try {
    ExtendedLengthPath(std::wstring(L"a\0b", 3), "a");
    ADD_FAILURE() << "a NUL in a path taken";
  } catch (const std::system_error& e) {
    EXPECT_EQ(e.code(), std::errc::invalid_argument);
    EXPECT_STREQ(e.what(), "a: Invalid argument");
  }
  try {
    ExtendedLengthPathOfUtf8("caf\xE9", "caf?");
    ADD_FAILURE() << "a path not in UTF-8 taken";
  } catch (const std::system_error& e) {
    EXPECT_EQ(e.code(), std::errc::illegal_byte_sequence);
  }
}

}  // namespace
}  // namespace telltale
