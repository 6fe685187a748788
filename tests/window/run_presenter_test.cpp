// SPDX-License-Identifier: Apache-2.0
// A Run as both windows present it: when the progress shows and what it
// reads, what a success, a failure and a cancel leave behind, where the Open
// dialog starts, and what a Run going refuses. Real Runs on real files; the
// clock is the test's own, so no test waits for time to pass.
#include "window/common/run_presenter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "test_support.h"

namespace telltale {
namespace {

using std::chrono::milliseconds;
using testing::TempDir;
using testing::Utf8Of;

// Sparse zeros are read at several GB/s: a file this large keeps a Run going
// for many seconds, long after the checks made during it.
constexpr std::uint64_t kLongRunBytes = std::uint64_t{64} << 30;

class FakeView final : public RunView {
 public:
  std::optional<std::string> AskForFile(const std::string& folder) override {
    folders.push_back(folder);
    if (answers.empty()) {
      ADD_FAILURE() << "an Open dialog nobody expected";
      return std::nullopt;
    }
    std::optional<std::string> answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void SetBusy(bool busy) override { events.emplace_back(busy ? "busy" : "idle"); }
  void StartTicks(milliseconds every) override {
    events.push_back("ticks every " + std::to_string(every.count()) + " ms");
  }
  void StopTicks() override { events.emplace_back("no ticks"); }
  void ShowProgress(const ProgressShown& shown) override { progress.push_back(shown); }
  void HideProgress() override { events.emplace_back("no progress"); }
  void SetResults(const std::string& text) override { events.push_back("results: " + text); }
  void ShowFailureBox(const RunFailure& failure) override {
    events.push_back("box: " + RunFailure::BoxTitle() + " | " + failure.BoxText() + " | " +
                     failure.BoxDetail());
  }
  void PostRunFinished() override {
    const std::scoped_lock lock(mutex_);
    posted_ = true;
    posted_changed_.notify_all();
  }

  // Waits for the Run's word that it has ended. A Run that never ends fails
  // the test after a minute instead of hanging it.
  [[nodiscard]] bool WaitForPost() {
    std::unique_lock lock(mutex_);
    const bool came =
        posted_changed_.wait_for(lock, std::chrono::minutes(1), [&] { return posted_; });
    posted_ = false;
    return came;
  }

  std::deque<std::optional<std::string>> answers;
  std::vector<std::string> folders;  // where each Open dialog started
  std::vector<std::string> events;
  std::vector<ProgressShown> progress;

 private:
  std::mutex mutex_;
  std::condition_variable posted_changed_;
  bool posted_ = false;
};

class RunPresenterTest : public ::testing::Test {
 protected:
  [[nodiscard]] std::string LongFile() const {
    std::string path = dir.Write("large scan.bin", "");
    std::filesystem::resize_file(testing::PathFromUtf8(path), kLongRunBytes);
    return path;
  }

  // Hands the Run's end to the presenter once the Run has posted it, as the
  // window's thread does.
  void FinishRun() {
    ASSERT_TRUE(view.WaitForPost());
    EXPECT_TRUE(presenter.OnRunFinished());
  }

  // Before the presenter, which stops and joins a Run still reading in it.
  TempDir dir;
  FakeView view;
  std::chrono::steady_clock::time_point now{};
  RunPresenter presenter{view, "home", [this] { return now; }};
};

TEST_F(RunPresenterTest, ProgressShowsAfterHalfASecondAndItsRateOnceSteady) {
  const std::string path = LongFile();
  presenter.StartRun(path);
  now += milliseconds(499);
  presenter.OnTick();
  EXPECT_TRUE(view.progress.empty());
  now += milliseconds(1);
  presenter.OnTick();
  ASSERT_EQ(view.progress.size(), 1U);
  EXPECT_EQ(view.progress[0].file, path);

  // The rate, after the sizes, is told once the progress has been watched
  // for two seconds.
  const auto tells_rate = [&] {
    return view.progress.back().status.find("/s") != std::string::npos;
  };
  EXPECT_FALSE(tells_rate()) << view.progress.back().status;
  now += milliseconds(1999);
  presenter.OnTick();
  EXPECT_FALSE(tells_rate()) << view.progress.back().status;
  now += milliseconds(1);
  presenter.OnTick();
  EXPECT_TRUE(tells_rate()) << view.progress.back().status;

  // A cancel leaves its word in the results box, and no message box.
  presenter.OnCancelPressed();
  FinishRun();
  EXPECT_EQ(view.events, (std::vector<std::string>{
                             "busy",
                             "ticks every 100 ms",
                             "no ticks",
                             "idle",
                             "no progress",
                             "results: Could not scan " + path + ": Operation canceled",
                         }));
}

TEST_F(RunPresenterTest, ASuccessShowsTheLastReportAndAFailureABoxOnceTheWindowIsBack) {
  const std::string found = dir.Write("found.jpg", "\xFF\xDB CDN");
  presenter.StartRun(found);
  FinishRun();
  const std::string missing = Utf8Of(dir.path() / "missing.jpg");
  presenter.StartRun(missing);
  FinishRun();

  const std::string description = std::generic_category().message(ENOENT);
  const std::vector<std::string> run{"busy", "ticks every 100 ms", "no ticks", "idle",
                                     "no progress"};
  std::vector<std::string> expected = run;
  expected.emplace_back(
      "results: \r\nSteganography found at marker position 4\r\nHiderman program detected!");
  expected.insert(expected.end(), run.begin(), run.end());
  expected.push_back("results: Could not scan " + missing + ": " + description);
  expected.push_back("box: Telltale | Could not scan " + missing + ". | Error " +
                     std::to_string(ENOENT) + ": " + description + ".");
  EXPECT_EQ(view.events, expected);
}

TEST_F(RunPresenterTest, TheOpenDialogStartsAtHomeThenInTheFolderOfTheLastFileScanned) {
  std::filesystem::create_directory(dir.path() / "sub");
  const std::string chosen = dir.Write("sub/chosen.txt", "plain");
  const std::string dropped = dir.Write("dropped.txt", "plain");
  view.answers = {std::nullopt, chosen, std::nullopt, std::nullopt};

  presenter.OnRunPressed();  // cancelled: no Run
  EXPECT_FALSE(presenter.Busy());
  presenter.OnRunPressed();
  FinishRun();
  presenter.OnRunPressed();
  ASSERT_TRUE(presenter.OnFileDropped(dropped));
  FinishRun();
  presenter.OnRunPressed();
  EXPECT_EQ(view.folders, (std::vector<std::string>{"home", "home", Utf8Of(dir.path() / "sub"),
                                                    Utf8Of(dir.path())}));
}

TEST_F(RunPresenterTest, ARunGoingRefusesInputAndDropsAndAnEarlyWordOfItsEnd) {
  presenter.StartRun(LongFile());
  const std::string small = dir.Write("small.txt", "plain");
  EXPECT_TRUE(presenter.Busy());
  EXPECT_FALSE(presenter.TakesDrop(small));
  EXPECT_FALSE(presenter.OnFileDropped(small));
  presenter.OnRunPressed();
  presenter.StartRun(small);
  EXPECT_TRUE(view.folders.empty());
  EXPECT_EQ(std::ranges::count(view.events, "busy"), 1);
  // Word of an end that has not come, such as that of a Run the window's
  // closing ended: nothing waits for the Run going.
  EXPECT_FALSE(presenter.OnRunFinished());
  EXPECT_TRUE(presenter.Busy());

  presenter.OnCancelPressed();
  FinishRun();
  EXPECT_TRUE(presenter.TakesDrop(small));
  EXPECT_FALSE(presenter.TakesDrop(Utf8Of(dir.path())));  // a folder
}

TEST_F(RunPresenterTest, ClosingTheWindowEndsTheRunAtOnceAndReportsNothing) {
  presenter.StartRun(LongFile());
  EXPECT_TRUE(presenter.OnWindowClosing());
  EXPECT_FALSE(presenter.Busy());
  EXPECT_EQ(view.events, (std::vector<std::string>{"busy", "ticks every 100 ms", "no ticks", "idle",
                                                   "no progress"}));
  // The Run's word of its end came as it was stopped; it ends nothing more.
  ASSERT_TRUE(view.WaitForPost());
  EXPECT_FALSE(presenter.OnRunFinished());
  EXPECT_FALSE(presenter.OnWindowClosing());
}

}  // namespace
}  // namespace telltale
