// SPDX-License-Identifier: Apache-2.0
// What Form1 shows of a Run, as its RunPresenter tells it.
#include <string>

#include "telltale/platform/win32/wide_text.h"
#include "window/win32/form1_messages.h"
#include "window/win32/form1_win32.h"
#include "window/win32/open_dialog_win32.h"
#include "window/win32/progress_window.h"

namespace telltale::win32 {
namespace {

constexpr std::size_t kResultsIndex = form1::IndexOf(form1::kResultsBox);

}  // namespace

std::optional<std::string> Form1::AskForFile(const std::string& folder) {
  const std::optional<std::wstring> file = ShowOpenDialog(window_, WideForDisplay(folder));
  if (!file) {
    return std::nullopt;
  }
  return Utf8FromWide(*file);
}

void Form1::SetBusy(bool busy) {
  if (busy) {
    run_focus_ = GetFocus();
    // A disabled window repaints but takes no input; the progress window,
    // which it owns, still does.
    EnableWindow(window_, FALSE);
    return;
  }
  EnableWindow(window_, TRUE);
  if (run_focus_ != nullptr && IsWindow(run_focus_) != 0) {
    SetFocus(run_focus_);
  }
  run_focus_ = nullptr;
}

void Form1::StartTicks(std::chrono::milliseconds every) {
  SetTimer(window_, kPollTimer, static_cast<UINT>(every.count()), nullptr);
}

void Form1::StopTicks() { KillTimer(window_, kPollTimer); }

void Form1::ShowProgress(const ProgressShown& shown) {
  if (!progress_) {
    progress_ = std::make_unique<ProgressWindow>(window_, font_, WideForDisplay(shown.file),
                                                 [this] { presenter_.OnCancelPressed(); });
  }
  progress_->Update(WideForDisplay(shown.status), shown.bar);
}

void Form1::HideProgress() { progress_.reset(); }

void Form1::SetResults(const std::string& text) {
  SetWindowTextW(Control(kResultsIndex), WideForDisplay(text).c_str());
}

void Form1::ShowFailureBox(const RunFailure& failure) {
  const std::wstring text =
      WideForDisplay(failure.BoxText()) + L"\r\n\r\n" + WideForDisplay(failure.BoxDetail());
  MessageBoxW(window_, text.c_str(), WideForDisplay(RunFailure::BoxTitle()).c_str(),
              MB_OK | MB_ICONERROR);
}

void Form1::PostRunFinished() {
  // On the Run's thread. The window outlives every Run: closing it ends
  // the Run first.
  PostMessageW(window_, kRunFinished, 0, 0);
}

}  // namespace telltale::win32
