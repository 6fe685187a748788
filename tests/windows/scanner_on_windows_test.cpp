// SPDX-License-Identifier: Apache-2.0
// telltale-scan.exe as a Windows user runs it: names in any script on the
// command line and in a walk, standard input taken byte for byte, output with
// the bytes the Linux build writes, junctions not followed in a walk, and
// disk images refused.
#include <gtest/gtest.h>
#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"
#include "windows_process.h"

namespace telltale {
namespace {

using testing::PathFromUtf8;
using testing::TempDir;
using testing::Utf8Of;
using windows_testing::RunScanner;

// "café 日本" in UTF-8: in no single-byte ANSI code page.
constexpr const char* kFolder = "caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC";

TEST(ScannerOnWindows, TakesNamesOutsideTheAnsiCodePageAndJoinsWalkedOnesWithBackslashes) {
  const TempDir dir;
  std::filesystem::create_directory(dir.path() / PathFromUtf8(kFolder));
  dir.Write(std::string(kFolder) + "/\xC3\xBC.jpg", "\xFF\xDB");
  const std::string file = std::string(kFolder) + "\\\xC3\xBC.jpg";
  const std::string expected = file + ":1:JPHide\n";

  const auto given = RunScanner({file}, "", dir.path());
  EXPECT_EQ(given.out, expected);
  EXPECT_EQ(given.err, "");
  EXPECT_EQ(given.status, 0U);

  const auto walked = RunScanner({"-r", kFolder}, "", dir.path());
  EXPECT_EQ(walked.out, expected) << walked.err;
  EXPECT_EQ(walked.status, 0U);
}

TEST(ScannerOnWindows, ReadsStandardInputByteForByte) {
  const TempDir dir;
  // Read as text, the CR LF would lose its CR and the Ctrl+Z (0x1A) would
  // end the input before both markers.
  const std::string input("a\r\n\x1A\xFF\xDB\r\nCDN", 11);
  const auto run = RunScanner({"-"}, input, dir.path());
  EXPECT_EQ(run.out, "(standard input):5:JPHide\n(standard input):9:Hiderman\n") << run.err;
  const auto counted = RunScanner({"-c", "-"}, input, dir.path());
  EXPECT_EQ(counted.out, "(standard input):1:1\n");
}

// No disk-image library is built for Windows: --image is refused before
// anything is read, whatever the image.
TEST(ScannerOnWindows, RefusesDiskImagesAtOnce) {
  const TempDir dir;
  dir.Write("disk.img", std::string(4096, 'C'));
  const auto run = RunScanner({"--image", "disk.img"}, "", dir.path());
  EXPECT_EQ(run.status, 2U);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("--image needs a build with the disk-image library"), std::string::npos)
      << run.err;
}

TEST(ScannerOnWindows, WritesWhatTheLinuxBuildWrites) {
  const TempDir dir;
  const auto run = RunScanner({"--json", "missing"}, "", dir.path());
  // The record as on Linux, and no CR before any line end.
  EXPECT_NE(run.out.find(R"({"type":"error","path":"missing","error":"No such file or directory",)"
                         R"("errno":2})"
                         "\n"),
            std::string::npos)
      << run.out;
  EXPECT_EQ(run.out.find('\r'), std::string::npos);
  EXPECT_EQ(run.err, "telltale-scan: missing: No such file or directory\n");
  EXPECT_EQ(run.status, 2U);

  const auto help = RunScanner({"--help"}, "", dir.path());
  EXPECT_NE(help.out.find("\n"), std::string::npos);
  EXPECT_EQ(help.out.find('\r'), std::string::npos) << "CR LF line ends in the help";
}

// Makes `link` a junction to the folder `target`, as mklink /J does. False
// where the file system has no junctions (Wine).
bool MakeJunction(const std::filesystem::path& link, const std::filesystem::path& target) {
  std::filesystem::create_directory(link);
  const HANDLE handle =
      ::CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return false;
  }
  // A mount point's data: the NT path, then the name to show, each ended by
  // a NUL that its length leaves out.
  const std::wstring nt_path = L"\\??\\" + std::filesystem::absolute(target).wstring();
  const std::wstring shown = std::filesystem::absolute(target).wstring();
  const auto nt_bytes = static_cast<WORD>(nt_path.size() * sizeof(wchar_t));
  const auto shown_bytes = static_cast<WORD>(shown.size() * sizeof(wchar_t));
  const WORD data_bytes = static_cast<WORD>(8 + nt_bytes + 2 + shown_bytes + 2);
  std::vector<unsigned char> buffer(8 + data_bytes, 0);
  const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
  const WORD header[6] = {data_bytes, 0, 0, nt_bytes, static_cast<WORD>(nt_bytes + 2), shown_bytes};
  std::memcpy(buffer.data(), &tag, sizeof tag);
  std::memcpy(buffer.data() + 4, header, sizeof header);  // the length, a reserved word, offsets
  std::memcpy(buffer.data() + 16, nt_path.data(), nt_bytes);
  std::memcpy(buffer.data() + 16 + nt_bytes + 2, shown.data(), shown_bytes);
  DWORD returned = 0;
  const BOOL made =
      ::DeviceIoControl(handle, FSCTL_SET_REPARSE_POINT, buffer.data(),
                        static_cast<DWORD>(buffer.size()), nullptr, 0, &returned, nullptr);
  ::CloseHandle(handle);
  return made != 0 && (::GetFileAttributesW(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

TEST(ScannerOnWindows, AJunctionInAWalkIsSkippedUnlessLinksAreFollowed) {
  const TempDir dir;
  std::filesystem::create_directory(dir.path() / "outside");
  dir.Write("outside/found.jpg", "\xFF\xDB");
  std::filesystem::create_directory(dir.path() / "tree");
  if (!MakeJunction(dir.path() / "tree" / "j", dir.path() / "outside")) {
    GTEST_SKIP() << "this file system cannot make a junction";
  }
  const auto walked = RunScanner({"-r", "tree"}, "", dir.path());
  EXPECT_EQ(walked.out, "");
  EXPECT_EQ(walked.err, "telltale-scan: tree\\j: skipped, symbolic link\n");
  const auto followed = RunScanner({"-r", "-L", "tree"}, "", dir.path());
  EXPECT_EQ(followed.out, "tree\\j\\found.jpg:1:JPHide\n");
}

}  // namespace
}  // namespace telltale
