// SPDX-License-Identifier: Apache-2.0
// Files whose stated size is not their content's: /proc and /sys.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>

#include "scanner_process.h"

namespace telltale::cli::testing {
namespace {

TEST(PseudoFiles, AreReadToTheirEnd) {
  // Its own command line, stated as 0 bytes long, holds the marker passed in
  // the name of a file that does not exist.
  const ScannerRun own = RunScanner({"/proc/self/cmdline", "absent-CDN"});
  const std::string command_line =
      std::string(TELLTALE_SCAN_BINARY) + '\0' + "/proc/self/cmdline" + '\0' + "absent-CDN" + '\0';
  EXPECT_EQ(own.out, ExpectedLines("/proc/self/cmdline", command_line));
  EXPECT_EQ(own.err, "telltale-scan: absent-CDN: No such file or directory\n");
  EXPECT_EQ(own.status, 2);

  // Stated as 4,096 bytes long, and shorter.
  const std::string sys_file = "/sys/devices/system/cpu/online";
  std::ifstream stream(sys_file, std::ios::binary);
  if (!stream) {
    GTEST_SKIP() << "no " << sys_file;
  }
  const std::string content{std::istreambuf_iterator<char>(stream), {}};
  const ScannerRun sys = RunScanner({sys_file});
  EXPECT_EQ(sys.out, ExpectedLines(sys_file, content));
  EXPECT_EQ(sys.err, "");
  EXPECT_EQ(sys.status, FindingsOf(content).empty() ? 1 : 0);
}

// /proc/kmsg gives the kernel's messages as they come and, read blocking,
// waits for the next one. Only a privileged user may open it.
TEST(PseudoFiles, OneThatWouldWaitForMoreHasEnded) {
  const int probe = ::open("/proc/kmsg", O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (probe < 0) {
    GTEST_SKIP() << "/proc/kmsg cannot be opened here";
  }
  ::close(probe);
  const ScannerRun run = RunScanner({"-c", "/proc/kmsg"});
  EXPECT_TRUE(run.out.starts_with("/proc/kmsg:")) << run.out;
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(run.status == 0 || run.status == 1) << run.status;
}

}  // namespace
}  // namespace telltale::cli::testing
