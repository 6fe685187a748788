// SPDX-License-Identifier: Apache-2.0
// What a window draws of a Run, as its RunPresenter tells it to.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "window/common/run_failure.h"

namespace telltale {

// The progress window: "Checking FILE" (kCheckingLead, then the file's name,
// which a window may shorten in its middle), the status line under it and
// the bar.
inline constexpr std::string_view kCheckingLead = "Checking ";

struct ProgressShown {
  std::string file;    // the path as it was given
  std::string status;  // ProgressStatusText()
  int bar = 0;         // 0 to kProgressBarSteps
};

// A front end implements this; every call comes on the window's thread but
// PostRunFinished(). Texts are UTF-8, except that a path holds the name's
// bytes exactly as it was given.
class RunView {
 public:
  virtual ~RunView() = default;

  // Shows the Open dialog, starting in `folder`, modally; the file chosen,
  // or nothing when the user cancelled.
  virtual std::optional<std::string> AskForFile(const std::string& folder) = 0;
  // A Run starts (true) or has ended (false). While busy the window repaints
  // but takes no input, shows the busy cursor and takes no drop; ending it
  // gives the focus back to the control that had it.
  virtual void SetBusy(bool busy) = 0;
  // Calls RunPresenter::OnTick() every `every` until StopTicks().
  virtual void StartTicks(std::chrono::milliseconds every) = 0;
  virtual void StopTicks() = 0;
  // Shows the progress window, not modal, or brings it up to date; its
  // Cancel, Escape and close button call RunPresenter::OnCancelPressed().
  virtual void ShowProgress(const ProgressShown& shown) = 0;
  // Removes the progress window, if shown.
  virtual void HideProgress() = 0;
  // Replaces the results box's text; a report's line ends are CR LF.
  virtual void SetResults(const std::string& text) = 0;
  // The failure's message box (RunFailure::BoxTitle() and the rest), modal;
  // returns when the user has dismissed it.
  virtual void ShowFailureBox(const RunFailure& failure) = 0;
  // Called on the Run's thread as its last act: RunPresenter::OnRunFinished()
  // is to be called on the window's thread, once the call has returned.
  virtual void PostRunFinished() = 0;

 protected:
  RunView() = default;
  RunView(const RunView&) = default;
  RunView& operator=(const RunView&) = default;
};

}  // namespace telltale
