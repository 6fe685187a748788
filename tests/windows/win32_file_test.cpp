// SPDX-License-Identifier: Apache-2.0
// The Win32 file services under the scan: bytes read exactly as they are,
// 64-bit sizes and offsets, UTF-8 names, and failures reported with the same
// conditions and words as on Linux.
#include <gtest/gtest.h>
#include <io.h>
#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "reference_scan.h"
#include "telltale/input_file.h"
#include "telltale/platform/descriptor_io.h"
#include "telltale/platform/win32/handle_descriptor.h"
#include "telltale/scan_error.h"
#include "telltale/scan_input.h"
#include "test_support.h"

namespace telltale {
namespace {

using testing::AsBytes;
using testing::Describe;
using testing::PathFromUtf8;
using testing::TempDir;
using testing::Utf8Of;
using Strings = std::vector<std::string>;

std::string ReadWhole(ScanSource& source, std::size_t at_most) {
  std::string bytes(at_most, '?');
  bytes.resize(source.Read(0, {reinterpret_cast<unsigned char*>(bytes.data()), bytes.size()}));
  return bytes;
}

Strings Reference(std::string_view content) {
  std::vector<ScanFinding> found;
  ScanContentReference(AsBytes(content), [&](const ScanFinding& f) { found.push_back(f); });
  return Describe(found);
}

Strings Scanned(ScanSource& source, const ScanSizes& sizes = {}) {
  std::vector<ScanFinding> found;
  ScanInput(
      source, FindingOrder::kReport, [&](const ScanFinding& f) { found.push_back(f); }, {}, sizes);
  return Describe(found);
}

// The failure's condition and the words after the name in what().
std::pair<std::error_code, std::string> FailureOpening(const std::string& path) {
  try {
    InputFile file(path);
  } catch (const std::system_error& e) {
    return {e.code(), std::string(e.what()).substr(path.size())};
  }
  return {};
}

TEST(Win32File, ReadsCarriageReturnsAndCtrlZAsTheyAre) {
  const TempDir dir;
  // A text-mode read would drop the CR and stop at the Ctrl+Z (0x1A).
  const std::string content("ab\r\n\x1A\xFF\xDB\r\nCDN\x1A\x00z", 14);
  InputFile file(dir.Write("text.txt", content));
  EXPECT_EQ(file.size(), content.size());
  EXPECT_EQ(ReadWhole(file, 100), content);
  EXPECT_EQ(Scanned(file), Reference(content));
}

TEST(Win32File, OpensNamesOutsideTheAnsiCodePage) {
  const TempDir dir;
  const std::string path = dir.Write("caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC.jpg", "\xFF\xDB");
  InputFile file(path);
  EXPECT_EQ(file.name(), path);
  EXPECT_EQ(ReadWhole(file, 10), "\xFF\xDB");
}

TEST(Win32File, ReadsPastFourGibibytes) {
  const TempDir dir;
  const std::filesystem::path path = dir.path() / "large.bin";
  constexpr std::uint64_t kMarkerAt = (std::uint64_t{4} << 30) + 7;
  {
    // Only the last bytes are written: the rest is a hole, on disks that
    // have them.
    std::ofstream out(path, std::ios::binary);
    out.seekp(static_cast<std::streamoff>(kMarkerAt));
    out.write("\xFF\xDB!", 3);
    ASSERT_TRUE(out) << "cannot write a 4 GiB file here";
  }
  InputFile file(Utf8Of(path));
  EXPECT_EQ(file.size(), kMarkerAt + 3);
  std::string tail(8, '?');
  const std::size_t got =
      file.Read(kMarkerAt - 1, {reinterpret_cast<unsigned char*>(tail.data()), tail.size()});
  EXPECT_EQ(tail.substr(0, got), std::string("\0\xFF\xDB!", 4));
}

TEST(Win32File, FailuresReadAsOnLinux) {
  const TempDir dir;
  const std::string missing = Utf8Of(dir.path() / "missing");
  EXPECT_EQ(FailureOpening(missing),
            std::pair(std::make_error_code(std::errc::no_such_file_or_directory),
                      std::string(": No such file or directory")));
  EXPECT_EQ(FailureOpening(Utf8Of(dir.path() / "no folder" / "f")).first,
            std::errc::no_such_file_or_directory);
  EXPECT_EQ(
      FailureOpening(Utf8Of(dir.path())),
      std::pair(std::make_error_code(std::errc::is_a_directory), std::string(": Is a directory")));
  // Not UTF-8: no Windows name is spelt so.
  EXPECT_EQ(FailureOpening(Utf8Of(dir.path()) + "\\caf\xE9").first,
            std::errc::illegal_byte_sequence);
  EXPECT_EQ(FailureOpening("NUL").first, make_error_code(ScanErrc::kCharacterDevice));
}

// Other programs go on using a file while it is scanned, as on Linux: it
// can be renamed meanwhile. One that another program holds without sharing
// cannot be read: "Permission denied".
TEST(Win32File, SharesFilesAsOtherProgramsExpect) {
  const TempDir dir;
  const std::string path = dir.Write("held.bin", "\xFF\xDB");
  const std::filesystem::path renamed = dir.path() / "renamed.bin";
  {
    InputFile file(path);
    std::filesystem::rename(PathFromUtf8(path), renamed);
    EXPECT_EQ(ReadWhole(file, 10), "\xFF\xDB");
  }
  const HANDLE locked =
      ::CreateFileW(renamed.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  EXPECT_EQ(FailureOpening(Utf8Of(renamed)),
            std::pair(std::make_error_code(std::errc::permission_denied),
                      std::string(": Permission denied")));
  ::CloseHandle(locked);
}

TEST(Win32File, RefusesAPipeBeforeReadingIt) {
  const std::wstring name =
      L"\\\\.\\pipe\\telltale-test-" + std::to_wstring(::GetCurrentProcessId());
  const HANDLE server = ::CreateNamedPipeW(name.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE, 1,
                                           4096, 4096, 0, nullptr);
  ASSERT_NE(server, INVALID_HANDLE_VALUE);
  // Nobody ever writes: a read would wait for ever.
  const std::string path = R"(\\.\pipe\telltale-test-)" + std::to_string(::GetCurrentProcessId());
  EXPECT_EQ(FailureOpening(path).first, make_error_code(ScanErrc::kNamedPipe));
  ::CloseHandle(server);
}

// A stream holds the second rule's positions until its end; many of them go
// to the temporary file, which must give them all back.
TEST(Win32File, AStreamKeepsHeldFindingsInATemporaryFile) {
  std::string content;
  for (int i = 0; i < 3000; ++i) {
    content += i % 3 == 0 ? "CDN.." : "\xFF\xDB.";
  }
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  ASSERT_NE(::CreatePipe(&read_end, &write_end, nullptr, 0), 0);
  const int read_fd = DescriptorOfHandle(read_end, "pipe");
  const int write_fd = DescriptorOfHandle(write_end, "pipe");
  std::jthread writer([&] {
    WriteFully(write_fd, content, "pipe");
    ::_close(write_fd);  // the end of the input
  });
  StreamSource source(read_fd, "pipe");
  ScanSizes sizes;
  sizes.held_in_memory = 64;
  sizes.chunk = 4096;
  EXPECT_EQ(Scanned(source, sizes), Reference(content));
  writer.join();
  ::_close(read_fd);
}

}  // namespace
}  // namespace telltale
