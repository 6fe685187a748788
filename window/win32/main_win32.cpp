// SPDX-License-Identifier: Apache-2.0
// The Telltale window program for Windows: `telltale [FILE]`.
#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <exception>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "telltale/platform/descriptor_io.h"
#include "telltale/platform/win32/wide_text.h"
#include "telltale/telltale.h"
#include "window/common/arguments.h"
#include "window/win32/com_apartment.h"
#include "window/win32/form1_win32.h"

namespace {

// The command line as UTF-8, however the system was asked to start us.
std::vector<std::string> CommandLine() {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) {
    throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                            "cannot read the command line");
  }
  std::vector<std::string> arguments;
  try {
    for (int i = 0; i < count; ++i) {
      arguments.push_back(telltale::Utf8FromWide(wide[i]));
    }
  } catch (...) {
    LocalFree(wide);
    throw;
  }
  LocalFree(wide);
  return arguments;
}

// A window program has no console of its own, but it inherits the handles of
// whoever started it: when standard output (or error) goes to a file or a
// pipe, the answer goes there, so that a script can read it; otherwise it is
// shown in a message box.
void Tell(int fd, const std::string& text, UINT icon) {
  auto* const handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  if (handle != nullptr && handle != INVALID_HANDLE_VALUE) {
    const DWORD type = GetFileType(handle);
    if (type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE) {
      telltale::WriteFully(fd, text, fd == 1 ? "standard output" : "standard error");
      return;
    }
  }
  MessageBoxW(nullptr, telltale::WideForDisplay(text).c_str(), L"Telltale", MB_OK | icon);
}

int Run(HINSTANCE instance, int show_command) {
  const std::vector<std::string> words = CommandLine();
  std::vector<const char*> argv;
  argv.reserve(words.size());
  for (const std::string& word : words) {
    argv.push_back(word.c_str());
  }
  // The same texts as the Linux program prints.
  const telltale::Arguments arguments =
      telltale::ParseArguments(static_cast<int>(argv.size()), argv.data());
  switch (arguments.action) {
    case telltale::Arguments::Action::kHelp:
      Tell(1, telltale::ArgumentsHelp(), MB_ICONINFORMATION);
      return 0;
    case telltale::Arguments::Action::kVersion:
      Tell(1, std::string("Telltale ") + telltale::kVersion + "\n" + telltale::kCopyrightLines,
           MB_ICONINFORMATION);
      return 0;
    case telltale::Arguments::Action::kRefuse:
      Tell(2, "telltale: " + arguments.refusal + "; usage: telltale [--help | FILE]\n",
           MB_ICONERROR);
      return 2;
    case telltale::Arguments::Action::kOpen:
      break;
  }

  const telltale::win32::ComApartment com;
  telltale::win32::Form1 form(instance);
  form.Show(show_command);
  if (arguments.file) {
    form.StartRun(*arguments.file);
  }
  MSG message{};
  BOOL got = 0;
  while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) {
    if (!form.TranslateKeyboard(message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  form.RethrowFailure();
  if (got < 0) {
    throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                            "the message loop failed");
  }
  return static_cast<int>(message.wParam);
}

}  // namespace

// The parameters are named as in the system's declaration. The command line
// is read whole with GetCommandLineW instead, as CommandLineToArgvW splits it.
int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE /*hPrevInstance*/, LPWSTR /*lpCmdLine*/,
                    int nShowCmd) {
  try {
    return Run(hInstance, nShowCmd);
  } catch (const std::system_error& e) {
    try {
      Tell(2,
           std::string("Telltale stopped: ") + e.what() + " (error " +
               std::to_string(e.code().value()) + ")\n",
           MB_ICONERROR);
    } catch (const std::system_error&) {
      // Standard error cannot be written either: the exit status says it.
    }
    return 1;
  }
}
