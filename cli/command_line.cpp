#include "cli/command_line.h"

#include <getopt.h>

#include <charconv>
#include <cstring>
#include <string_view>
#include <thread>

namespace telltale::cli {
namespace {

constexpr unsigned kMaxJobs = 1024;

enum LongOnly : int { kJson = 256, kWindowText, kVersion };

constexpr const char* kShortOptions = ":rcj:qh";

constexpr std::array<option, 9> kLongOptions{{
    {"recursive", no_argument, nullptr, 'r'},
    {"count", no_argument, nullptr, 'c'},
    {"json", no_argument, nullptr, kJson},
    {"window-text", required_argument, nullptr, kWindowText},
    {"jobs", required_argument, nullptr, 'j'},
    {"quiet", no_argument, nullptr, 'q'},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, kVersion},
    {nullptr, 0, nullptr, 0},
}};

unsigned ParseJobs(std::string_view text) {
  unsigned jobs = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), jobs);
  if (error != std::errc() || end != text.data() + text.size() || jobs < 1 || jobs > kMaxJobs) {
    throw UsageError("invalid number of jobs '" + std::string(text) + "' (1 to " +
                     std::to_string(kMaxJobs) + ")");
  }
  return jobs;
}

unsigned DefaultJobs() { return std::max(std::thread::hardware_concurrency(), 1U); }

// The option as the user wrote it, for messages.
std::string OptionName(int option_char, int index, char** argv) {
  if (option_char != 0) {
    return std::string("-") + static_cast<char>(option_char);
  }
  return argv[index - 1];
}

}  // namespace

CommandLine ParseCommandLine(int argc, char** argv) {
  CommandLine line;
  line.batch.jobs = DefaultJobs();
  bool json = false;
  bool window_text = false;
  opterr = 0;  // messages of our own, in our words
  int option_char = 0;
  // NOLINTNEXTLINE(concurrency-mt-unsafe): called once, before any thread starts
  while ((option_char = getopt_long(argc, argv, kShortOptions, kLongOptions.data(), nullptr)) !=
         -1) {
    switch (option_char) {
      case 'r':
        line.batch.recursive = true;
        break;
      case 'c':
        line.batch.format = OutputFormat::kCounts;
        break;
      case kJson:
        json = true;
        break;
      case kWindowText:
        window_text = true;
        line.window_path = optarg;
        break;
      case 'j':
        line.batch.jobs = ParseJobs(optarg);
        break;
      case 'q':
        line.quiet = true;
        break;
      case 'h':
        line.action = CommandLine::Action::kHelp;
        return line;
      case kVersion:
        line.action = CommandLine::Action::kVersion;
        return line;
      case ':':
        throw UsageError("option '" + OptionName(optopt, optind, argv) + "' needs a value");
      default:
        throw UsageError("unknown option '" + OptionName(optopt, optind, argv) + "'");
    }
  }
  line.batch.paths.assign(argv + optind, argv + argc);

  if (json && line.batch.format == OutputFormat::kCounts) {
    throw UsageError("--json and --count cannot be used together");
  }
  if (json) {
    line.batch.format = OutputFormat::kJson;
  }
  if (window_text) {
    if (!line.batch.paths.empty() || json || line.batch.format != OutputFormat::kFindings ||
        line.batch.recursive) {
      throw UsageError("--window-text takes one file and no other paths or output options");
    }
    if (line.window_path == "-") {
      throw UsageError("--window-text needs a file, not standard input");
    }
    line.action = CommandLine::Action::kWindowText;
    return line;
  }
  if (line.batch.paths.empty()) {
    throw UsageError("no file to scan");
  }
  return line;
}

const char* HelpText() {
  return R"(Usage: telltale-scan [OPTIONS] PATH...
Looks in each file for the markers of JPHide and Hiderman and prints one
line PATH:POSITION:TOOL per finding; within a file every JPHide finding comes
before the Hiderman ones. A PATH of - reads standard input.

  -r, --recursive         scan the files under each directory, in name order
  -c, --count             one line PATH:JPHIDE_COUNT:HIDERMAN_COUNT per file
      --json              JSON Lines: one object per finding or failed file
      --window-text=FILE  print what the window shows after a Run on FILE
  -j, --jobs=N            scan N files at once (default: one per core)
  -q, --quiet             no progress line on standard error
  -h, --help              print this help and exit
      --version           print the version and exit

Exit status: 0 if something was found, 1 if nothing was, 2 if any file could
not be scanned or the command line is wrong.
)";
}

}  // namespace telltale::cli
