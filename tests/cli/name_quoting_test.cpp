// SPDX-License-Identifier: Apache-2.0
// Names with control characters, which a terminal would act on, are quoted
// wherever they may reach one: on standard error always, on standard output
// when it is a terminal. Elsewhere names stay exact for scripts.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "scanner_process.h"

namespace telltale::cli::testing {
namespace {

// Moves the cursor up a line, erases it and goes back to its start: printed
// raw after a finding, it would wipe the finding off the screen.
constexpr std::string_view kEraseLineAbove = "\x1B[1A\x1B[2K\r";
constexpr std::string_view kEraseLineAboveQuoted = R"('$'\033''[1A'$'\033''[2K'$'\r')";

// Joins its parts. (Adding a string to a literal trips a false warning of
// some compilers.)
std::string Cat(std::initializer_list<std::string_view> parts) {
  std::string joined;
  for (const std::string_view part : parts) {
    joined += part;
  }
  return joined;
}

bool CanOpenTerminal() {
  const int fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    return false;
  }
  ::close(fd);
  return true;
}

TEST(NameQuoting, NotesAndErrorsOnStandardErrorAreQuotedInEveryFormat) {
  const TempDir dir;
  std::filesystem::create_directory(dir.path() / "tree");
  dir.Write("tree/a", "\xFF\xDB");
  const std::string fifo = Cat({"tree/b", kEraseLineAbove});
  ASSERT_EQ(::mkfifo((dir.path() / fifo).c_str(), 0600), 0);
  const std::string hostile_file = Cat({"tree/c", kEraseLineAbove});
  dir.Write(hostile_file, "CDN");
  const std::string missing = "gone\x1B[2J\xE9";

  const std::string notes =
      Cat({"telltale-scan: 'tree/b", kEraseLineAboveQuoted, ": skipped, a named pipe\n",
           R"(telltale-scan: 'gone'$'\033''[2J'$'\351': No such file or directory)", "\n"});
  for (const std::vector<std::string>& format :
       std::vector<std::vector<std::string>>{{}, {"-c"}, {"--json"}}) {
    std::vector<std::string> args = format;
    args.insert(args.end(), {"-r", "tree", missing});
    const ScannerRun run = RunScanner(args, InDirectory(dir.path()));
    EXPECT_EQ(run.err, notes) << (format.empty() ? "default" : format[0]);
    EXPECT_EQ(run.status, 2);
    // Standard output is a pipe here: names as they are, for scripts.
    if (format.empty()) {
      EXPECT_EQ(run.out, Cat({"tree/a:1:JPHide\n", hostile_file, ":1:Hiderman\n"}));
    }
  }

  const ScannerRun window = RunScanner({"--window-text", missing}, InDirectory(dir.path()));
  EXPECT_EQ(window.err,
            R"(telltale-scan: 'gone'$'\033''[2J'$'\351': No such file or directory (error 2))"
            "\n");
}

TEST(NameQuoting, FindingsOnATerminalAreQuoted) {
  if (!CanOpenTerminal()) {
    GTEST_SKIP() << "no pseudo-terminal to be had";
  }
  const TempDir dir;
  struct Case {
    std::string name;
    std::string shown;
  };
  const std::vector<Case> cases = {
      {Cat({"b", kEraseLineAbove}), Cat({"'b", kEraseLineAboveQuoted})},
      {"caf\xC3\xA9", "caf\xC3\xA9"},          // UTF-8 is shown as it is
      {"it's", R"('it'\''s')"},                // a quote shown raw would look like quoting
      {"csi\xC2\x9B", R"('csi'$'\302\233')"},  // a C1 control, in UTF-8
      {"latin\xE9", R"('latin'$'\351')"},      // not UTF-8
      {"tab\there", R"('tab'$'\t''here')"},
  };
  std::vector<std::string> names;
  std::string findings;
  std::string counts;
  for (const Case& c : cases) {
    names.push_back(dir.Write(c.name, "\xFF\xDB").substr(dir.path().string().size() + 1));
    findings += Cat({c.shown, ":1:JPHide\n"});
    counts += Cat({c.shown, ":1:0\n"});
  }
  RunOptions options = InDirectory(dir.path());
  options.output_terminal = true;
  EXPECT_EQ(RunScanner(names, options).out, findings);
  std::vector<std::string> args{"-c"};
  args.insert(args.end(), names.begin(), names.end());
  EXPECT_EQ(RunScanner(args, options).out, counts);
  // JSON carries names exactly, escaped its own way.
  EXPECT_EQ(Records(RunScanner({"--json", names[0]}, options).out, {"finding"}),
            R"({"type":"finding","path":"b\u001b[1A\u001b[2K\u000d","tool":"JPHide",)"
            R"("position":1,"offset":0)"
            R"(,"context":"not a recognised format","explained":false})"
            "\n");
}

}  // namespace
}  // namespace telltale::cli::testing
