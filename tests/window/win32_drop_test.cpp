// SPDX-License-Identifier: Apache-2.0
// Files dropped on the Win32 window. A drop's HDROP is memory of the process
// it is dropped in, so the test makes the window itself and posts it
// WM_DROPFILES with an HDROP built as the shell builds one: a DROPFILES
// header and the names, each ended by a NUL, the list by another. As on
// Linux, one file starts a Run that shows what a Run of that file from the
// Open dialog shows; several files, a folder, or any drop during a Run
// start nothing and leave a Run going alone.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which they need: HDROP, and DROPFILES.
#include <shellapi.h>
#include <shlobj.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "telltale/platform/win32/wide_text.h"
#include "test_support.h"
#include "window/common/form1_layout.h"
#include "window/win32/form1_win32.h"

namespace telltale::win32 {
namespace {

using namespace std::chrono_literals;
using testing::TempDir;

// Sparse zeros: a Run on this many bytes lasts long past the checks made
// during it.
constexpr std::uint64_t kLongRunBytes = std::uint64_t{64} << 30;

// What a file with "CDN" at byte 3 and nothing else leaves in the box.
constexpr const wchar_t* kFoundAt3 =
    L"\r\nSteganography found at marker position 3\r\nHiderman program detected!";

// An HDROP naming `names`, as the shell posts it.
HDROP MakeDrop(const std::vector<std::wstring>& names) {
  std::wstring list;
  for (const std::wstring& name : names) {
    list += name;
    list += L'\0';
  }
  list += L'\0';
  const std::size_t list_bytes = list.size() * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + list_bytes);
  if (memory == nullptr) {
    ADD_FAILURE() << "GlobalAlloc failed: " << GetLastError();
    return nullptr;
  }
  auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
  header->pFiles = sizeof(DROPFILES);
  header->fWide = TRUE;
  std::memcpy(reinterpret_cast<char*>(header) + sizeof(DROPFILES), list.data(), list_bytes);
  GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

// The texts of the message boxes the window showed. A failure box of a Run
// that should not have started would wait for a click for ever: a timer,
// which the box's own message loop runs too, notes its text and closes it.
std::vector<std::wstring> failure_boxes;

BOOL CALLBACK CloseMessageBox(HWND window, LPARAM /*unused*/) {
  wchar_t class_name[16] = {};
  GetClassNameW(window, class_name, 16);
  if (std::wstring_view(class_name) == L"#32770" && IsWindowVisible(window) != FALSE) {
    // A message box's text is its control 0xFFFF.
    wchar_t text[512] = {};
    GetDlgItemTextW(window, 0xFFFF, text, 512);
    failure_boxes.emplace_back(text);
    PostMessageW(window, WM_COMMAND, IDOK, 0);
  }
  return TRUE;
}

void CALLBACK CloseMessageBoxes(HWND /*window*/, UINT /*message*/, UINT_PTR /*id*/,
                                DWORD /*time*/) {
  EnumThreadWindows(GetCurrentThreadId(), &CloseMessageBox, 0);
}

class Win32DropTest : public ::testing::Test {
 public:
  Win32DropTest(const Win32DropTest&) = delete;
  Win32DropTest& operator=(const Win32DropTest&) = delete;

 protected:
  Win32DropTest() {
    form_.Show(SW_SHOWNOACTIVATE);
    window_ = FindWindowW(kForm1ClassName, nullptr);
    failure_boxes.clear();
    box_timer_ = SetTimer(nullptr, 0, 200, &CloseMessageBoxes);
  }
  ~Win32DropTest() override { KillTimer(nullptr, box_timer_); }

  // No drop here starts a Run that fails.
  void TearDown() override {
    for (const std::wstring& box : failure_boxes) {
      ADD_FAILURE() << "a message box: " << Utf8FromWide(box);
    }
  }

  // Posts the drop as the system does; the window takes it as it pumps.
  void Drop(const std::vector<std::wstring>& names) {
    ASSERT_NE(window_, nullptr);
    HDROP drop = MakeDrop(names);
    ASSERT_NE(drop, nullptr);
    ASSERT_NE(PostMessageW(window_, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0), 0);
  }

  // Handles the window's messages until `done` holds or `limit` has passed;
  // returns whether it held.
  static bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
      if (std::chrono::steady_clock::now() >= end) {
        return false;
      }
      MSG message{};
      // A window closed by an earlier test left its WM_QUIT behind.
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
  }

  // Gives the window a while to act on what it was sent, where nothing is
  // expected to come of it.
  static void PumpFor(std::chrono::milliseconds time) {
    PumpUntil([] { return false; }, time);
  }

  [[nodiscard]] HWND ResultsBox() const {
    return GetDlgItem(window_, ControlId(form1::IndexOf(form1::kResultsBox)));
  }

  [[nodiscard]] std::wstring Results() const {
    const int length = GetWindowTextLengthW(ResultsBox());
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(ResultsBox(), text.data(), length + 1)));
    return text;
  }

  void ClearResults() const { SetWindowTextW(ResultsBox(), L""); }

  // A Run going disables the window.
  [[nodiscard]] bool RunGoing() const { return IsWindowEnabled(window_) == FALSE; }

  // Waits for a Run to end and returns what the results box then reads.
  std::wstring WaitForResults() {
    EXPECT_TRUE(PumpUntil([this] { return !RunGoing() && !Results().empty(); }, 30s))
        << "no Run ended";
    return Results();
  }

  static std::wstring Wide(const std::filesystem::path& path) { return path.wstring(); }

  TempDir directory_;
  Form1 form_{GetModuleHandleW(nullptr)};
  HWND window_ = nullptr;
  UINT_PTR box_timer_ = 0;
};

TEST_F(Win32DropTest, OneDroppedFileIsRunAsIfChosenInTheOpenDialog) {
  // A name past ASCII, which must reach the Run whole, and a file without
  // markers, whose report names it.
  const std::string found = directory_.Write("caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC.jpg", "xxCDN");
  const std::string plain = directory_.Write("plain.txt", "nothing to find");
  const std::wstring plain_report =
      L"You Selected " + WideFromUtf8(plain, plain) + L" to be opened. Sorry no Steg found.";

  for (const auto& [file, report] :
       {std::pair(found, std::wstring(kFoundAt3)), std::pair(plain, plain_report)}) {
    ClearResults();
    Drop({WideFromUtf8(file, file)});
    EXPECT_EQ(WaitForResults(), report) << file;
    // The Open dialog's choice goes to StartRun.
    ClearResults();
    form_.StartRun(file);
    EXPECT_EQ(WaitForResults(), report) << file;
  }
}

TEST_F(Win32DropTest, SeveralFilesOrAFolderStartNoRun) {
  const std::string one = directory_.Write("one.jpg", "xxCDN");
  const std::string two = directory_.Write("two.jpg", "xxCDN");
  const std::vector<std::vector<std::wstring>> refused = {
      {WideFromUtf8(one, one), WideFromUtf8(two, two)},
      {Wide(directory_.path())},
      {},     // no name
      {L""},  // an empty one
  };
  for (const std::vector<std::wstring>& names : refused) {
    Drop(names);
    PumpFor(500ms);
    EXPECT_FALSE(RunGoing()) << names.size() << " names";
    EXPECT_EQ(Results(), L"") << names.size() << " names";
  }
  // The window still takes a drop of one file after those.
  Drop({WideFromUtf8(one, one)});
  EXPECT_EQ(WaitForResults(), kFoundAt3);
}

TEST_F(Win32DropTest, ADropDuringARunLeavesTheRunAlone) {
  const std::filesystem::path big = directory_.path() / L"big.bin";
  directory_.Write("big.bin", "");
  std::filesystem::resize_file(big, kLongRunBytes);
  const std::string small = directory_.Write("small.jpg", "xxCDN");

  form_.StartRun(testing::Utf8Of(big));
  ASSERT_TRUE(RunGoing());
  Drop({WideFromUtf8(small, small)});
  PumpFor(700ms);
  EXPECT_TRUE(RunGoing()) << "the drop ended the Run";
  EXPECT_EQ(Results(), L"");

  // The progress window of the Run going names the big file; its Cancel
  // ends the Run, which reports that file.
  HWND progress = nullptr;
  ASSERT_TRUE(PumpUntil(
      [&] {
        progress = FindWindowW(nullptr, L"Telltale");
        return progress != nullptr && GetWindow(progress, GW_OWNER) == window_;
      },
      5s));
  PostMessageW(progress, WM_COMMAND, IDCANCEL, 0);
  EXPECT_EQ(WaitForResults(), L"Could not scan " + Wide(big) + L": Operation canceled");
  // And the dropped file was not run after it.
  PumpFor(500ms);
  EXPECT_EQ(Results(), L"Could not scan " + Wide(big) + L": Operation canceled");
}

// A window that cannot be made, here from a module without the window's
// logo, leaves nothing behind: no window that would send its messages to the
// object that failed, and no class that would refuse the next window.
TEST(Win32Form1, AWindowThatCannotBeMadeLeavesNothingBehind) {
  const HINSTANCE without_logo = GetModuleHandleW(L"kernel32.dll");
  ASSERT_NE(without_logo, nullptr);
  EXPECT_THROW(Form1{without_logo}, std::system_error);
  EXPECT_EQ(FindWindowW(kForm1ClassName, nullptr), nullptr);
  WNDCLASSEXW left{};
  left.cbSize = sizeof(left);
  EXPECT_EQ(GetClassInfoExW(without_logo, kForm1ClassName, &left), FALSE);
}

}  // namespace
}  // namespace telltale::win32
