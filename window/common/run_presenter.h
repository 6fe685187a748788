// SPDX-License-Identifier: Apache-2.0
// What both windows decide alike about a Run, from the Run button to the
// results box: when the progress window shows and what it says, what a
// failure and a cancel leave behind, where the Open dialog starts, and that
// a Run going refuses input and drops. Each front end draws what it is told
// through its RunView and forwards the user's acts here.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "window/common/run_view.h"

namespace telltale {

class RunPresenter {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  // A Run that ends sooner shows no progress window.
  static constexpr std::chrono::milliseconds kShowProgressAfter{500};
  // How often the progress is looked at: often enough to move smoothly,
  // seldom enough to cost nothing.
  static constexpr std::chrono::milliseconds kPollEvery{100};

  // The Open dialog starts in `home_folder` until a file has been scanned.
  // `now` tells the time; tests give a clock of their own.
  RunPresenter(RunView& view, std::string home_folder, Clock now = &std::chrono::steady_clock::now);
  // A Run still going is stopped and waited for; the view is told nothing.
  ~RunPresenter();
  RunPresenter(const RunPresenter&) = delete;
  RunPresenter& operator=(const RunPresenter&) = delete;

  // A Run is going: the window takes no input and no drop.
  [[nodiscard]] bool Busy() const { return run_ != nullptr; }

  // The Run button: asks for a file and scans it. Nothing during a Run.
  void OnRunPressed();
  // Scans `path`, the name's bytes exactly as the system knows them, as if
  // it had been chosen in the Open dialog. Nothing during a Run.
  void StartRun(const std::string& path);
  // Whether a drop of `path` would be taken: one that is not a folder, while
  // no Run is going.
  [[nodiscard]] bool TakesDrop(const std::string& path) const;
  // Scans a dropped file if TakesDrop(); returns whether it did.
  bool OnFileDropped(const std::string& path);
  // The view's timer: shows the progress after kShowProgressAfter.
  void OnTick();
  // Cancel in the progress window: the Run ends before its next read, and
  // its end comes as any other does.
  void OnCancelPressed();
  // The Run's end, on the window's thread. The results box gets the last
  // report, or why the file could not be scanned; a failure other than a
  // cancel is then reported in a message box. Returns whether a Run ended:
  // not when the window's closing already ended it.
  bool OnRunFinished();
  // The window closes: a Run going is stopped and waited for (it ends before
  // its next read), and nothing is reported. Returns whether a Run ended.
  bool OnWindowClosing();

 private:
  struct ActiveRun;

  // Ends the Run: its thread is joined, the window is given back and the
  // progress window goes.
  void EndRun();

  RunView& view_;
  Clock now_;
  // Where the Open dialog starts: the home folder, then the folder of the
  // file scanned last, however it was chosen.
  std::string dialog_folder_;
  std::unique_ptr<ActiveRun> run_;
};

}  // namespace telltale
