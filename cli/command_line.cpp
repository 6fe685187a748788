// SPDX-License-Identifier: Apache-2.0
#include "cli/command_line.h"

#include <getopt.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <string_view>
#include <thread>

#include "telltale/quoted_name.h"

namespace telltale::cli {
namespace {

constexpr unsigned kMaxJobs = 1024;

enum LongOnly : int {
  kJsonOption = 256,
  kWindowTextOption,
  kVersionOption,
  kFilesFromOption,
  kHashOption,
  kExplainOption,
  kUnexplainedOption,
  kImageOption,
  kVerifyOption
};

constexpr const char* kShortOptions = ":rLcj:qh0";

constexpr std::array<option, 17> kLongOptions{{
    {"recursive", no_argument, nullptr, 'r'},
    {"follow", no_argument, nullptr, 'L'},
    {"count", no_argument, nullptr, 'c'},
    {"json", no_argument, nullptr, kJsonOption},
    {"hash", no_argument, nullptr, kHashOption},
    {"explain", no_argument, nullptr, kExplainOption},
    {"unexplained", no_argument, nullptr, kUnexplainedOption},
    {"image", no_argument, nullptr, kImageOption},
    {"verify", no_argument, nullptr, kVerifyOption},
    {"null", no_argument, nullptr, '0'},
    {"files-from", required_argument, nullptr, kFilesFromOption},
    {"window-text", required_argument, nullptr, kWindowTextOption},
    {"jobs", required_argument, nullptr, 'j'},
    {"quiet", no_argument, nullptr, 'q'},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, kVersionOption},
    {nullptr, 0, nullptr, 0},
}};

unsigned ParseJobs(std::string_view text) {
  unsigned jobs = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), jobs);
  if (error != std::errc() || end != text.data() + text.size() || jobs < 1 || jobs > kMaxJobs) {
    throw UsageError("invalid number of jobs " + QuotedWord(text) + " (1 to " +
                     std::to_string(kMaxJobs) + ")");
  }
  return jobs;
}

unsigned DefaultJobs() { return std::max(std::thread::hardware_concurrency(), 1U); }

// Whether `option_char` is one of the letters of kShortOptions.
bool IsShortOption(int option_char) {
  return option_char > 0 && option_char < kJsonOption && option_char != ':' &&
         std::string_view(kShortOptions).find(static_cast<char>(option_char)) !=
             std::string_view::npos;
}

// The long option in a word "--name" or "--name=value", as typed.
std::string LongOptionName(std::string_view word) {
  return std::string(word.substr(0, word.find('=')));
}

// How many long options `typed` ("--name") abbreviates; getopt_long takes a
// unique abbreviation, or an exact name.
std::size_t LongOptionsMatching(std::string_view typed) {
  const std::string_view name = typed.substr(2);
  std::size_t matching = 0;
  for (const option& o : kLongOptions) {
    if (o.name != nullptr && std::string_view(o.name).starts_with(name)) {
      if (name == o.name) {
        return 1;
      }
      ++matching;
    }
  }
  return matching;
}

// The message for the option getopt_long refused with `result` (':' or
// '?'), naming the option as it was typed. A long option is the whole word
// before optind, which getopt_long has passed; so is a short option left
// without its value, the last of its word, but an unknown letter may sit
// inside a word of several, optind not yet past it. optopt then tells the
// cases apart: 0 for an unknown or ambiguous long option, the option's value
// for a long option given a value it does not take (one of our letters for
// --count and the like, or a value from 256 up), and any other letter for
// an unknown short option.
std::string OptionError(int result, char** argv) {
  const std::string_view word = argv[optind - 1];
  const bool long_option =
      word.starts_with("--") &&
      (result == ':' || optopt == 0 || optopt >= kJsonOption || IsShortOption(optopt));
  const std::string name =
      long_option ? LongOptionName(word) : "-" + std::string(1, static_cast<char>(optopt));
  // BSD's getopt_long (mingw-w64's too) also says ':' for a value given to
  // an option that takes none, as in "--count=3".
  if (result == ':' && !(long_option && word.find('=') != std::string_view::npos)) {
    return "option " + QuotedWord(name) + " needs a value";
  }
  if (!long_option) {
    return "unknown option " + QuotedWord(name);
  }
  if (optopt != 0) {
    return "option " + QuotedWord(name) + " takes no value";
  }
  if (LongOptionsMatching(name) > 1) {
    return "option " + QuotedWord(name) + " is ambiguous";
  }
  return "unknown option " + QuotedWord(name);
}

}  // namespace

CommandLine ParseCommandLine(int argc, char** argv) {
  CommandLine line;
  line.batch.jobs = DefaultJobs();
  // As typed: getopt_long moves the paths behind the options.
  line.batch.command_line.assign(argv, argv + argc);
  bool json = false;
  int window_texts = 0;
  bool other_options = false;  // any option but --window-text, which takes none
  opterr = 0;                  // messages of our own, in our words
  int option_char = 0;
  // NOLINTNEXTLINE(concurrency-mt-unsafe): called once, before any thread starts
  while ((option_char = getopt_long(argc, argv, kShortOptions, kLongOptions.data(), nullptr)) !=
         -1) {
    other_options = other_options || option_char != kWindowTextOption;
    switch (option_char) {
      case 'r':
        line.batch.recursive = true;
        break;
      case 'L':
        line.batch.follow_links = true;
        break;
      case 'c':
        line.batch.format = OutputFormat::kCounts;
        break;
      case kJsonOption:
        json = true;
        break;
      case kHashOption:
        line.batch.hash = true;
        break;
      case kExplainOption:
        // Taken whatever the format, as grep takes -n with -c: JSON carries
        // every finding's place anyway, and a count line has no finding to
        // place, so there it changes nothing (and costs no walk).
        line.batch.explain = true;
        break;
      case kUnexplainedOption:
        line.batch.unexplained = true;
        break;
      case kImageOption:
        line.batch.images = true;
        break;
      case kVerifyOption:
        line.batch.verify = true;
        break;
      case '0':
        line.batch.null_separated = true;
        break;
      case kFilesFromOption:
        if (*optarg == '\0') {
          throw UsageError("--files-from needs a file, or - for standard input");
        }
        line.batch.files_from.emplace_back(optarg);
        break;
      case kWindowTextOption:
        ++window_texts;
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
      case kVersionOption:
        line.action = CommandLine::Action::kVersion;
        return line;
      default:
        throw UsageError(OptionError(option_char, argv));
    }
  }
  line.batch.paths.assign(argv + optind, argv + argc);

  if (json && line.batch.format == OutputFormat::kCounts) {
    throw UsageError("--json and --count cannot be used together");
  }
  if (json && line.batch.null_separated && line.batch.files_from.empty()) {
    throw UsageError(
        "--null and --json cannot be used together: JSON quotes names itself (with "
        "--files-from, --null only separates the names in the list)");
  }
  if (json) {
    line.batch.format = OutputFormat::kJson;
  }
  if (line.batch.hash && line.batch.format == OutputFormat::kFindings) {
    throw UsageError("--hash needs --count or --json, whose lines have room for the digest");
  }
  if (window_texts > 0) {
    if (window_texts > 1) {
      throw UsageError("--window-text can be given only once");
    }
    if (!line.batch.paths.empty() || other_options) {
      throw UsageError("--window-text takes one file and no other paths or options");
    }
    if (line.window_path == "-") {
      throw UsageError("--window-text needs a file, not standard input");
    }
    line.action = CommandLine::Action::kWindowText;
    return line;
  }
  if (line.batch.paths.empty() && line.batch.files_from.empty()) {
    throw UsageError("no file to scan");
  }
  if (line.batch.verify && !line.batch.images) {
    throw UsageError("--verify needs --image: it checks an image against the hash it stores");
  }
  if (line.batch.images) {
    if (line.batch.recursive) {
      throw UsageError("--image takes the images as paths or lists of paths, without -r");
    }
    if (std::count(line.batch.paths.begin(), line.batch.paths.end(), "-") > 0) {
      throw UsageError("--image needs image files: standard input cannot be read at any offset");
    }
  }
  const auto standard_inputs = [](const std::vector<std::string>& words) {
    return std::count(words.begin(), words.end(), "-");
  };
  const auto paths = standard_inputs(line.batch.paths);
  const auto lists = standard_inputs(line.batch.files_from);
  if (paths + lists > 1) {
    throw UsageError(paths > 0 && lists > 0
                         ? "'-' is given as a path and as --files-from: standard input can be "
                           "read only once"
                         : "'-' is given more than once: standard input can be read only once");
  }
  return line;
}

const char* HelpText() {
  return R"(Usage: telltale-scan [OPTIONS] PATH...
  or:  telltale-scan [OPTIONS] --files-from=FILE [PATH...]
Looks in each file for the markers of JPHide and Hiderman and prints one
line PATH:POSITION:TOOL per finding; within a file every JPHide finding comes
before the Hiderman ones. A PATH of - (once at most) reads standard input.

  -r, --recursive         scan the files under each directory, in name order;
                          symbolic links met there are skipped
  -L, --follow            with -r, follow the symbolic links met there too
  -c, --count             one line PATH:JPHIDE_COUNT:HIDERMAN_COUNT per file
      --json              JSON Lines: a record for the run, each finding, each
                          file scanned, failed or skipped, and a summary
      --hash              with -c or --json, the SHA-256 of each file's bytes
                          as scanned (last field of -c)
      --explain           add each finding's place in the file's own
                          structure: PATH:POSITION:TOOL:CONTEXT, such as
                          "JPEG quantization table marker" (--json always
                          gives it; -c has no finding to place, ignores it)
      --unexplained       report only the findings the file's format does not
                          explain: a JPEG's own quantization table markers
                          are left out; counts, summary and exit status are
                          of what is reported
  -0, --null              a NUL byte instead of ':' after each path (not with
                          --json); with --files-from, names there end in NUL
      --image             each PATH (and each name --files-from lists) is a
                          disk image (raw, split raw .001..., E01): scan
                          every file in each of its partitions' file
                          systems, deleted ones included where their content
                          can still be read, named IMAGE::pN/PATH/IN/FS (p0:
                          no partition table), then every byte no file
                          holds: IMAGE::pN@START-END in partition N,
                          IMAGE::@START-END outside every partition (START
                          to END: their bytes in the image)
      --verify            with --image, first check each image's data against
                          the hash it stores (E01's MD5); a mismatch, or an
                          image that stores none, is a failure
      --files-from=FILE   scan the paths listed in FILE too, one per line,
                          after those given (- for standard input); given
                          more than once, each list in turn
      --window-text=FILE  print what the window shows after a Run on FILE
  -j, --jobs=N            scan N files at once (default: one per core)
  -q, --quiet             no progress line on standard error
  -h, --help              print this help and exit
      --version           print the version and exit

Exit status: 0 if a finding was reported, 1 if none was, 2 if any file could
not be scanned or the command line is wrong.
)";
}

}  // namespace telltale::cli
