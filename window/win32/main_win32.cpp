// SPDX-License-Identifier: Apache-2.0
// The Telltale window program for Windows: `telltale [FILE]`.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <exception>
#include <string>
#include <system_error>
#include <vector>

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

int Run(HINSTANCE instance, int show_command) {
  const std::vector<std::string> words = CommandLine();
  std::vector<const char*> argv;
  argv.reserve(words.size());
  for (const std::string& word : words) {
    argv.push_back(word.c_str());
  }
  // A program without a console answers its command line in a message box.
  const telltale::Arguments arguments =
      telltale::ParseArguments(static_cast<int>(argv.size()), argv.data());
  switch (arguments.action) {
    case telltale::Arguments::Action::kHelp:
      MessageBoxW(nullptr, telltale::WideForDisplay(telltale::ArgumentsHelp()).c_str(), L"Telltale",
                  MB_OK | MB_ICONINFORMATION);
      return 0;
    case telltale::Arguments::Action::kVersion:
      MessageBoxW(nullptr,
                  telltale::WideForDisplay(std::string("Telltale ") + telltale::kVersion + "\n" +
                                           telltale::kCopyrightLines)
                      .c_str(),
                  L"Telltale", MB_OK | MB_ICONINFORMATION);
      return 0;
    case telltale::Arguments::Action::kRefuse:
      MessageBoxW(nullptr,
                  telltale::WideForDisplay("telltale: " + arguments.refusal +
                                           "; usage: telltale [--help | FILE]")
                      .c_str(),
                  L"Telltale", MB_OK | MB_ICONERROR);
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
    const std::wstring text = L"Telltale stopped: " + telltale::WideForDisplay(e.what()) +
                              L" (error " + std::to_wstring(e.code().value()) + L")";
    MessageBoxW(nullptr, text.c_str(), L"Telltale", MB_OK | MB_ICONERROR);
    return 1;
  }
}
