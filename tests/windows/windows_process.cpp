// SPDX-License-Identifier: Apache-2.0
#include "windows_process.h"

#include <windows.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <system_error>
#include <thread>

#include "telltale/platform/win32/wide_text.h"

namespace telltale::windows_testing {
namespace {

[[noreturn]] void ThrowLastError(const char* what) {
  throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), what);
}

// The quoting that CommandLineToArgvW undoes: backslashes are literal except
// before a quote, where each is doubled.
std::wstring Quoted(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    return argument;
  }
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted.push_back(c);
  }
  quoted.append(backslashes * 2, L'\\');
  quoted.push_back(L'"');
  return quoted;
}

std::filesystem::path ThisProgram() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) {
      ThrowLastError("GetModuleFileNameW");
    }
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

// A file the child writes as one of its standard streams.
HANDLE InheritedOutput(const std::filesystem::path& path) {
  SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  const HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      &inherited, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    ThrowLastError("CreateFileW");
  }
  return handle;
}

std::string ReadAndRemove(const std::filesystem::path& path) {
  std::string text;
  {
    std::ifstream in(path, std::ios::binary);
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::filesystem::remove(path);
  return text;
}

}  // namespace

ScannerRun RunScanner(const std::vector<std::string>& arguments, std::string_view input,
                      const std::filesystem::path& directory) {
  const std::filesystem::path program = ThisProgram().parent_path() / L"telltale-scan.exe";
  std::wstring command_line = Quoted(program.wstring());
  for (const std::string& argument : arguments) {
    command_line += L' ' + Quoted(WideFromUtf8(argument, argument));
  }

  SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE input_read = nullptr;
  HANDLE input_write = nullptr;
  if (::CreatePipe(&input_read, &input_write, &inherited, 0) == 0) {
    ThrowLastError("CreatePipe");
  }
  ::SetHandleInformation(input_write, HANDLE_FLAG_INHERIT, 0);  // the child's end only
  // A name of its own for every run: Wine may close an ended child's handles
  // a moment after its exit is seen, and a file of the same name made in
  // that moment would be the one removed as the last handle goes.
  static std::atomic<unsigned> runs{0};
  const std::filesystem::path out_path =
      std::filesystem::temp_directory_path() /
      ("telltale-out-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++runs));
  const std::filesystem::path err_path = out_path.wstring() + L"-err";
  const HANDLE out = InheritedOutput(out_path);
  const HANDLE err = InheritedOutput(err_path);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input_read;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process{};
  const BOOL started =
      ::CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, TRUE,
                       CREATE_NO_WINDOW, nullptr, directory.c_str(), &startup, &process);
  const DWORD start_error = ::GetLastError();
  ::CloseHandle(input_read);
  ::CloseHandle(out);
  ::CloseHandle(err);
  if (started == 0) {
    ::CloseHandle(input_write);
    throw std::system_error(static_cast<int>(start_error), std::system_category(),
                            "CreateProcessW");
  }
  // Written from a thread: a scanner that stops reading must not stop us.
  std::jthread writer([&] {
    DWORD written = 0;
    for (std::size_t done = 0; done < input.size(); done += written) {
      if (::WriteFile(input_write, input.data() + done, static_cast<DWORD>(input.size() - done),
                      &written, nullptr) == 0) {
        break;
      }
    }
    ::CloseHandle(input_write);
  });
  const DWORD waited = ::WaitForSingleObject(process.hProcess, 60'000);
  if (waited != WAIT_OBJECT_0) {
    ::TerminateProcess(process.hProcess, 255);
  }
  writer.join();
  ScannerRun run;
  ::GetExitCodeProcess(process.hProcess, &run.status);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  run.out = ReadAndRemove(out_path);
  run.err = ReadAndRemove(err_path);
  if (waited != WAIT_OBJECT_0) {
    throw std::system_error(std::make_error_code(std::errc::timed_out), "telltale-scan");
  }
  return run;
}

}  // namespace telltale::windows_testing
