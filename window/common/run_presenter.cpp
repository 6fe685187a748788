// SPDX-License-Identifier: Apache-2.0
#include "window/common/run_presenter.h"

#include <exception>
#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>

#include "telltale/telltale.h"
#include "window/common/is_folder.h"
#include "window/common/progress_bar_steps.h"
#include "window/common/progress_text.h"
#include "window/common/read_rate.h"
#include "window/common/run_thread.h"

namespace telltale {
namespace {

// A name's bytes as a path: UTF-8 for Windows, the bytes as they are
// elsewhere. Throws where Windows cannot take them.
std::filesystem::path PathOf(const std::string& name) {
  return {std::u8string(name.begin(), name.end())};
}

// The folder of `file`, made absolute and without "." and ".." steps, as the
// Open dialog takes it; nothing when it cannot be told.
std::optional<std::string> FolderOf(const std::string& file) {
  try {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(PathOf(file), error);
    if (error) {
      return std::nullopt;
    }
    const std::u8string folder = absolute.lexically_normal().parent_path().u8string();
    return std::string(folder.begin(), folder.end());
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace

// Destroyed in the reverse order of its members: the thread is joined before
// the sink it writes goes.
struct RunPresenter::ActiveRun {
  ActiveRun(std::string path, std::chrono::steady_clock::time_point started)
      : path(std::move(path)), started(started) {}

  std::string path;
  std::chrono::steady_clock::time_point started;
  // From the progress window's first showing: the rate is told from what
  // the window has watched.
  std::optional<ReadRate> rate;
  // Written by the Run's thread; read here only once that has been joined.
  LastTextSink sink;
  RunThread thread;
};

RunPresenter::RunPresenter(RunView& view, std::string home_folder, Clock now)
    : view_(view), now_(std::move(now)), dialog_folder_(std::move(home_folder)) {}

// The Run's thread, should one be going, is stopped and joined as run_ goes.
RunPresenter::~RunPresenter() = default;

void RunPresenter::OnRunPressed() {
  // The window takes no input during a Run; this holds should a press get
  // through anyway.
  if (Busy()) {
    return;
  }
  if (const std::optional<std::string> file = view_.AskForFile(dialog_folder_)) {
    StartRun(*file);
  }
}

void RunPresenter::StartRun(const std::string& path) {
  if (Busy()) {
    return;
  }
  if (std::optional<std::string> folder = FolderOf(path)) {
    dialog_folder_ = std::move(*folder);
  }
  run_ = std::make_unique<ActiveRun>(path, now_());
  view_.SetBusy(true);
  view_.StartTicks(kPollEvery);
  run_->thread.Start(path, run_->sink, [this] { view_.PostRunFinished(); });
}

bool RunPresenter::TakesDrop(const std::string& path) const { return !Busy() && !IsFolder(path); }

bool RunPresenter::OnFileDropped(const std::string& path) {
  if (!TakesDrop(path)) {
    return false;
  }
  StartRun(path);
  return true;
}

void RunPresenter::OnTick() {
  if (!Busy()) {
    return;
  }
  const std::chrono::steady_clock::time_point now = now_();
  if (now - run_->started < kShowProgressAfter) {
    return;
  }
  const ScanProgress progress = run_->thread.Progress();
  if (!run_->rate) {
    run_->rate.emplace();
  }
  run_->rate->Add(now, progress.done);
  view_.ShowProgress(ProgressShown{
      .file = run_->path,
      .status = ProgressStatusText(progress, run_->rate->BytesPerSecond()),
      .bar = ProgressBarValue(progress),
  });
}

void RunPresenter::OnCancelPressed() {
  if (Busy()) {
    run_->thread.RequestStop();
  }
}

bool RunPresenter::OnRunFinished() {
  // Ended already, when the window closed; or the word of a Run that the
  // closing ended, come after the next one started.
  if (!Busy() || !run_->thread.Finished()) {
    return false;
  }
  std::optional<std::string> results;
  std::optional<RunFailure> failure;
  bool cancelled = false;
  try {
    run_->thread.JoinAndRethrow();
    // Only the last text reaches the box: each setting of it costs a redraw.
    if (run_->sink.texts_set() > 0) {
      results = run_->sink.text();
    }
  } catch (const std::system_error& e) {
    failure = RunFailure::Of(run_->path, e.code());
    results = failure->ResultsText();
    cancelled = e.code() == std::errc::operation_canceled;
  }
  EndRun();
  if (results) {
    view_.SetResults(*results);
  }
  // The user ended it: the results box says so, and that is all.
  if (failure && !cancelled) {
    view_.ShowFailureBox(*failure);
  }
  return true;
}

bool RunPresenter::OnWindowClosing() {
  if (!Busy()) {
    return false;
  }
  run_->thread.RequestStop();
  EndRun();
  return true;
}

void RunPresenter::EndRun() {
  view_.StopTicks();
  run_.reset();
  // Input is taken again before the progress window goes, so that the
  // activation comes back to the window rather than to another program.
  view_.SetBusy(false);
  view_.HideProgress();
}

}  // namespace telltale
