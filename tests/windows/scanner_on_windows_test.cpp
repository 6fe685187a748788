// SPDX-License-Identifier: Apache-2.0
// telltale-scan.exe as a Windows user runs it: names in any script on the
// command line and in a walk, paths past MAX_PATH, standard input taken byte
// for byte, output with the bytes the Linux build writes, junctions not
// followed in a walk, and disk images refused.
#include <gtest/gtest.h>
#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
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

// Made through the \\?\ form, which takes a path of any length wherever
// long paths are not enabled.
void MakeFolder(const std::filesystem::path& path) {
  if (::CreateDirectoryW((L"\\\\?\\" + path.wstring()).c_str(), nullptr) == 0) {
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(),
                            "cannot make " + Utf8Of(path));
  }
}

void MakeFile(const std::filesystem::path& path, std::string_view content) {
  const HANDLE file = ::CreateFileW((L"\\\\?\\" + path.wstring()).c_str(), GENERIC_WRITE, 0,
                                    nullptr, CREATE_NEW, 0, nullptr);
  DWORD written = 0;
  const bool made = file != INVALID_HANDLE_VALUE &&
                    ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written,
                                nullptr) != 0 &&
                    written == content.size();
  if (file != INVALID_HANDLE_VALUE) {
    ::CloseHandle(file);
  }
  if (!made) {
    throw std::runtime_error("cannot write " + Utf8Of(path));
  }
}

// Backslashes doubled, as in a JSON string.
std::string InJson(const std::string& path) {
  std::string escaped;
  for (const char c : path) {
    escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
  }
  return escaped;
}

// A file four folders of 88 characters down: past MAX_PATH (260) from the
// scan's folder, past 400 characters whole. The system gets such paths in
// the \\?\ form; the user sees them as given.
TEST(ScannerOnWindows, PathsPastMaxPathAreScannedAndNamedAsGiven) {
  const TempDir dir;
  std::filesystem::path folder = dir.path();
  std::string relative;
  for (const char* number : {"one", "two", "three", "four"}) {
    std::string name = std::string("a folder named ") + number + ' ';
    name.resize(88, 'x');
    folder /= name;
    MakeFolder(folder);
    relative += name + '\\';
  }
  MakeFile(folder / "f.jpg",
           "\xFF\xDB"
           "CDN");
  relative += "f.jpg";
  const std::string absolute = Utf8Of(dir.path()) + '\\' + relative;
  ASSERT_GT(relative.size(), 300U);
  ASSERT_GT(absolute.size(), 400U);
  // "/" and ".." are the user's to write; the \\?\ form takes neither.
  std::string roundabout = relative;
  std::replace(roundabout.begin(), roundabout.end(), '\\', '/');
  roundabout = "./" + roundabout.substr(0, roundabout.find('/')) + "/../" + roundabout;

  for (const std::string& given : {absolute, relative, roundabout}) {
    const auto run = RunScanner({given}, "", dir.path());
    std::string expected = given;
    expected += ":1:JPHide\n";
    expected += given;
    expected += ":3:Hiderman\n";
    EXPECT_EQ(run.out, expected) << run.err;
    EXPECT_EQ(run.status, 0U);
  }
  const auto json = RunScanner({"--json", absolute}, "", dir.path());
  EXPECT_NE(json.out.find(R"({"type":"file","path":")" + InJson(absolute) + '"'), std::string::npos)
      << json.out;

  // Each folder is reached from the one above it, by its final path.
  const std::string top = relative.substr(0, relative.find('\\'));
  const auto walked = RunScanner({"-r", top}, "", dir.path());
  EXPECT_EQ(walked.out, relative + ":1:JPHide\n" + relative + ":3:Hiderman\n") << walked.err;
  EXPECT_EQ(walked.status, 0U);

  const std::string missing = absolute.substr(0, absolute.size() - 5) + "missing.jpg";
  const auto failed = RunScanner({missing}, "", dir.path());
  EXPECT_EQ(failed.err, "telltale-scan: " + missing + ": No such file or directory\n");
  EXPECT_EQ(failed.status, 2U);
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
  EXPECT_NE(help.out.find('\n'), std::string::npos);
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
