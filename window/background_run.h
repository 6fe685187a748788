// One Run on a thread of its own, so that the window's thread stays free to
// repaint while the file is read.
#pragma once

#include <QObject>
#include <atomic>
#include <cstdint>
#include <exception>
#include <stop_token>
#include <string>
#include <thread>

#include "detection/telltale.h"

namespace telltale {

class BackgroundRun final : public QObject {
  Q_OBJECT

 public:
  BackgroundRun() = default;
  // A Run still going is stopped and waited for: it ends before its next read.
  ~BackgroundRun() override;

  // Starts the Run of `path`; call once, after connecting to finished().
  // `sink` is given the texts on the Run's thread; nothing else may touch it
  // until JoinAndRethrow() has returned or thrown. Should no thread be had,
  // finished() is emitted at once, and JoinAndRethrow() throws why.
  void Start(std::string path, ResultsSink& sink);

  // Asks the Run to end before its next read; it then fails with ECANCELED.
  void RequestStop();

  // The bytes read so far of the bytes to read, as last reported by the Run.
  [[nodiscard]] ScanProgress Progress() const;

  // Waits for the Run's thread to end (at once, after finished()), then
  // returns if the Run succeeded and throws its failure if it did not.
  void JoinAndRethrow();

 signals:
  // Emitted from the Run's thread as its last act (or from Start()), so
  // connect it queued: the receiver then runs in its own thread, after the
  // emission is over.
  void finished();

 private:
  void Run(const std::string& path, ResultsSink& sink, std::stop_token stop);

  std::atomic<std::uint64_t> done_{0};
  std::atomic<std::uint64_t> total_{0};
  std::exception_ptr failure_;  // written by the Run's thread before it ends
  // Last, so that the thread is joined before the members it uses go.
  std::jthread thread_;
};

}  // namespace telltale
