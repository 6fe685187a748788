// SPDX-License-Identifier: Apache-2.0
// Opening and reading files that change, grow past 4 GiB, or are not files.
#include "telltale/input_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <string>
#include <system_error>
#include <thread>

#include "telltale/platform/descriptor_io.h"
#include "telltale/run_scan.h"
#include "telltale/scan_error.h"
#include "telltale/scan_input.h"
#include "test_support.h"

namespace telltale {
namespace {

using testing::RecordingSink;
using testing::TempDir;

std::string ReadWhole(InputFile& file) {
  std::string bytes(static_cast<std::size_t>(*file.size()) + 10, '?');
  const std::size_t got =
      file.Read(0, {reinterpret_cast<unsigned char*>(bytes.data()), bytes.size()});
  bytes.resize(got);
  return bytes;
}

TEST(InputFile, ReadsExactlyTheFile) {
  const TempDir dir;
  const std::string bytes(
      "a\0b\r\n\x1A"
      "end",
      9);
  InputFile file(dir.Write("f", bytes));
  EXPECT_EQ(file.size(), bytes.size());
  EXPECT_EQ(ReadWhole(file), bytes);
}

TEST(InputFile, AFileThatShrinksAfterOpeningFails) {
  const TempDir dir;
  const std::string path = dir.Write("f", std::string(10000, 'x'));
  InputFile file(path);
  std::filesystem::resize_file(path, 100);
  try {
    (void)ReadWhole(file);
    FAIL() << "a short read was taken for the whole file";
  } catch (const std::system_error& e) {
    EXPECT_EQ(e.code(), make_error_code(ScanErrc::kFileShrank));
    EXPECT_EQ(std::string(e.what()), path + ": File shrank while it was being read");
  }
}

TEST(InputFile, AFileThatGrowsIsReadUpToItsSizeAtOpening) {
  const TempDir dir;
  const std::string path = dir.Write("f", "1234");
  InputFile file(path);
  {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "\xFF\xDB", 2), 2);
    ::close(fd);
  }
  EXPECT_EQ(ReadWhole(file), "1234");
}

TEST(InputFile, ReadingLeavesTheAccessTimeAlone) {
  const TempDir dir;
  const std::string path = dir.Write("f", "..\xFF\xDB..CDN");
  // An access time older than the modification time is brought up to date
  // by the next read even where access times are otherwise kept lazily.
  const std::array<timespec, 2> times{{{1000000, 0}, {UTIME_NOW, UTIME_NOW}}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times.data(), 0), 0);
  {
    InputFile file(path);
    EXPECT_EQ(ReadWhole(file), "..\xFF\xDB..CDN");
  }
  struct stat after {};
  ASSERT_EQ(::stat(path.c_str(), &after), 0);
  EXPECT_EQ(after.st_atim.tv_sec, 1000000);
}

TEST(InputFile, OpenedInADirectoryALinkIsFollowedOnlyWhenAsked) {
  const TempDir dir;
  dir.Write("target", "CDN");
  std::filesystem::create_symlink("target", dir.path() / "link");
  const int directory = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(directory, 0);
  {
    InputFile followed(directory, "link", "shown/link", true);
    EXPECT_EQ(followed.name(), "shown/link");
    EXPECT_EQ(ReadWhole(followed), "CDN");
  }
  try {
    const InputFile refused(directory, "link", "shown/link", false);
    FAIL() << "a link was followed";
  } catch (const std::system_error& e) {
    EXPECT_EQ(e.code().value(), ELOOP);
    EXPECT_EQ(std::string(e.what()).substr(0, 12), "shown/link: ");
  }
  ::close(directory);
}

TEST(InputFile, AProcFileIsReadOnceToItsEnd) {
  // The same file read here and through InputFile; stat gives it no size.
  const std::string path = "/proc/self/cmdline";
  std::ifstream stream(path, std::ios::binary);
  ASSERT_TRUE(stream);
  const std::string expected{std::istreambuf_iterator<char>(stream), {}};
  ASSERT_FALSE(expected.empty());

  InputFile file(path);
  EXPECT_FALSE(file.size());
  EXPECT_FALSE(file.CanReadAgain());
  std::string bytes;
  std::array<unsigned char, 7> buffer{};  // several reads for any command line
  for (std::size_t got = buffer.size(); got == buffer.size();) {
    got = file.Read(bytes.size(), buffer);
    bytes.append(reinterpret_cast<const char*>(buffer.data()), got);
  }
  EXPECT_EQ(bytes, expected);
  EXPECT_NO_THROW(file.CheckUnchanged());
}

TEST(ReadFully, WaitsOnANonBlockingPipeAndReadsItToItsEnd) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  ASSERT_EQ(::fcntl(fds[0], F_SETFL, O_NONBLOCK), 0);
  // The writer is late on purpose: the first read finds the pipe empty.
  std::thread writer([fd = fds[1]] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    for (int i = 0; i < 4; ++i) {
      ASSERT_EQ(::write(fd, "FFDB", 4), 4);
    }
    ::close(fd);
  });
  std::array<unsigned char, 64> buffer{};
  const std::size_t got = ReadFully(fds[0], buffer, "pipe");
  writer.join();
  ::close(fds[0]);
  EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(got)),
            "FFDBFFDBFFDBFFDB");
}

// What a pseudo-file is read through: one that would wait for more (as
// /proc/kmsg waits for the next kernel message) has ended.
TEST(ReadAvailable, TakesANonBlockingPipeWithNothingMoreNowAsEnded) {
  int fds[2];
  ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
  ASSERT_EQ(::fcntl(fds[0], F_SETFL, O_NONBLOCK), 0);
  ASSERT_EQ(::write(fds[1], "FFDB", 4), 4);
  // The writer stays open. Should the read wait after all, it gets more
  // after a while, then the end, rather than hanging the test.
  std::promise<void> read_returned;
  std::thread writer([fd = fds[1], returned = read_returned.get_future()] {
    if (returned.wait_for(std::chrono::seconds(2)) == std::future_status::timeout) {
      (void)::write(fd, "LATE", 4);
    }
    ::close(fd);
  });
  std::array<unsigned char, 64> buffer{};
  const std::size_t got = ReadAvailable(fds[0], buffer, "pipe");
  read_returned.set_value();
  writer.join();
  ::close(fds[0]);
  EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(got)), "FFDB");
}

TEST(ReadFully, AFailedReadNamesTheInput) {
  try {
    std::array<unsigned char, 4> buffer{};
    ReadFully(-1, buffer, "(standard input)");
    FAIL() << "reading a closed descriptor succeeded";
  } catch (const std::system_error& e) {
    EXPECT_EQ(e.code().value(), EBADF);
    EXPECT_EQ(std::string(e.what()).rfind("(standard input): ", 0), 0U) << e.what();
  }
}

// Raw disk images are scanned through their block device, whose size comes
// from seeking to its end. Needs root and a free loop device.
TEST(InputFile, BlockDevicesAreReadToTheirEnd) {
  const TempDir dir;
  std::string image(1 << 20, '\0');
  image.replace(5000, 2, "\xFF\xDB");
  const std::string path = dir.Write("disk.img", image);
  FILE* attach = ::popen(("losetup -f --show " + path + " 2>/dev/null").c_str(), "r");
  char device[64] = {};
  const bool attached = attach != nullptr && std::fgets(device, sizeof device, attach) != nullptr;
  if (attach != nullptr) {
    ::pclose(attach);
  }
  if (!attached) {
    GTEST_SKIP() << "no loop device available here";
  }
  std::string name(device);
  name.erase(name.find_last_not_of('\n') + 1);
  RecordingSink sink;
  RunScan(name, sink);
  (void)std::system(("losetup -d " + name).c_str());
  ASSERT_EQ(sink.texts.size(), 2U);
  EXPECT_EQ(sink.texts[1],
            "\r\nSteganography found at marker position 5001\r\nJPHide program detected!");
}

// A sparse file of 4 GiB + 6 bytes: positions past both 2^31 and 2^32 must
// come out true, in the Run and in the scan as found alike.
class HugeSparseFile : public ::testing::Test {
 protected:
  static constexpr std::uint64_t kFourGiB = std::uint64_t{1} << 32;

  void SetUp() override {
    path_ = dir_.Write("sparse", "");
    const int fd = ::open(path_.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, "\xFF\xDB", 2, (std::uint64_t{1} << 31) + 10), 2);
    ASSERT_EQ(::pwrite(fd, "\xFF\xDB", 2, kFourGiB + 1), 2);
    ASSERT_EQ(::pwrite(fd, "cdn", 3, kFourGiB + 3), 3);
    ::close(fd);
  }

  TempDir dir_;
  std::string path_;
};

TEST_F(HugeSparseFile, RunReportsPositionsPastFourGiB) {
  RecordingSink sink;
  RunScan(path_, sink);
  ASSERT_EQ(sink.texts.size(), 4U);
  EXPECT_EQ(sink.texts[1],
            "\r\nSteganography found at marker position 2147483659\r\nJPHide program detected!");
  EXPECT_EQ(sink.texts[2],
            "\r\nSteganography found at marker position 4294967298\r\nJPHide program detected!");
  EXPECT_EQ(sink.texts[3],
            "\r\nSteganography found at marker position 4294967300\r\nHiderman program detected!");
}

TEST_F(HugeSparseFile, ScanAsFoundReportsTheSamePositions) {
  InputFile file(path_);
  std::vector<Position> positions;
  ScanInput(file, FindingOrder::kAsFound,
            [&](const ScanFinding& f) { positions.push_back(f.position); });
  EXPECT_EQ(positions, (std::vector<Position>{2147483659ULL, 4294967298ULL, 4294967300ULL}));
}

}  // namespace
}  // namespace telltale
