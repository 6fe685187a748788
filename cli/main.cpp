// SPDX-License-Identifier: Apache-2.0
// telltale-scan: the command-line scanner for many files at once.
#include <unistd.h>

#include <exception>
#include <iostream>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "cli/batch_scan.h"
#include "cli/command_line.h"
#include "cli/exit_status.h"
#include "cli/program_start.h"
#include "cli/terminal.h"
#include "cli/window_text.h"
#include "telltale/telltale.h"

namespace {

int Run(int argc, char** argv) {
  std::vector<std::string> arguments = telltale::cli::StartProgram(argc, argv);
  std::vector<char*> words;
  words.reserve(arguments.size() + 1);
  for (std::string& argument : arguments) {
    words.push_back(argument.data());
  }
  words.push_back(nullptr);
  using telltale::cli::CommandLine;
  CommandLine line =
      telltale::cli::ParseCommandLine(static_cast<int>(arguments.size()), words.data());
  switch (line.action) {
    case CommandLine::Action::kHelp:
      std::cout << telltale::cli::HelpText() << std::flush;
      return std::cout ? telltale::cli::kExitFound : telltale::cli::kExitTrouble;
    case CommandLine::Action::kVersion:
      std::cout << "telltale-scan " << telltale::kVersion << '\n'
                << telltale::kCopyrightLines << std::flush;
      return std::cout ? telltale::cli::kExitFound : telltale::cli::kExitTrouble;
    case CommandLine::Action::kWindowText:
      return telltale::cli::PrintWindowText(line.window_path);
    case CommandLine::Action::kScan:
      break;
  }
  line.batch.progress = !line.quiet && telltale::cli::IsTerminal(STDERR_FILENO);
  return telltale::cli::ScanBatch(std::move(line.batch));
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const telltale::cli::UsageError& e) {
    std::cerr << "telltale-scan: " << e.what()
              << "\nTry 'telltale-scan --help' for more information.\n";
  } catch (const std::system_error& e) {
    std::cerr << "telltale-scan: " << e.what() << " (error " << e.code().value() << ")\n";
  } catch (const std::exception& e) {
    std::cerr << "telltale-scan: " << e.what() << '\n';
  }
  return telltale::cli::kExitTrouble;
}
