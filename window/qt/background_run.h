// The Run on its own thread, telling the Qt window of its end by a signal.
#pragma once

#include <QObject>
#include <string>

#include "window/common/run_thread.h"

namespace telltale {

class BackgroundRun final : public QObject {
  Q_OBJECT

 public:
  BackgroundRun() = default;

  // As RunThread's, with finished() as its end; connect to it first.
  void Start(std::string path, ResultsSink& sink);
  void RequestStop() { thread_.RequestStop(); }
  [[nodiscard]] ScanProgress Progress() const { return thread_.Progress(); }
  void JoinAndRethrow() { thread_.JoinAndRethrow(); }

 signals:
  // Emitted from the Run's thread as its last act (or from Start()), so
  // connect it queued: the receiver then runs in its own thread, after the
  // emission is over.
  void finished();

 private:
  RunThread thread_;
};

}  // namespace telltale
