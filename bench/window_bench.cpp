// SPDX-License-Identifier: Apache-2.0
// What the window adds to a Run: a Run through Form1 (Run pressed, the dialog
// answering at once, the Run on its own thread until Form1 reports its end)
// against RunScan with a sink that only keeps the last text, both on the same
// 1 GiB file of random bytes, written once and read from the page cache.
// Prints the ratio of the two medians at the end.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "telltale/telltale.h"
#include "window/qt/form1.h"
#include "window/qt/results_box_text.h"

namespace telltale {
namespace {

constexpr qint64 kFileSize = qint64{1} << 30;

QString g_path;

std::string EncodedPath() { return QFile::encodeName(g_path).toStdString(); }

void BM_RunScanKeepingLastText(benchmark::State& state) {
  const std::string path = EncodedPath();
  for (auto _ : state) {
    LastTextSink sink;
    RunScan(path, sink);
    benchmark::DoNotOptimize(sink.text().data());
  }
}

void BM_RunThroughForm1(benchmark::State& state) {
  Form1 form([](QWidget&, const QString&) { return std::optional<QString>(g_path); },
             [](QWidget&, const RunFailure& failure) {
               static_cast<void>(std::fprintf(stderr, "%s\n", failure.ResultsText().c_str()));
               std::abort();
             });
  auto* run = form.findChild<QPushButton*>("cmdTest");
  auto* results = form.findChild<QPlainTextEdit*>("txtResults");
  QEventLoop until_finished;
  QObject::connect(&form, &Form1::runFinished, &until_finished, &QEventLoop::quit);
  for (auto _ : state) {
    run->click();
    until_finished.exec();
  }

  // Untimed: the box must show what RunScan alone ends with.
  LastTextSink sink;
  RunScan(EncodedPath(), sink);
  if (results->toPlainText() != ResultsBoxText(sink.text())) {
    state.SkipWithError("the Run through Form1 did not end with the last report");
  }
}

BENCHMARK(BM_RunScanKeepingLastText)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(5);
BENCHMARK(BM_RunThroughForm1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(5);

// The console report, then the ratio of the two medians.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
        times_[run.run_name.function_name].push_back(run.GetAdjustedRealTime());
      }
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    if (times_.contains("BM_RunThroughForm1") && times_.contains("BM_RunScanKeepingLastText")) {
      std::printf(
          "\nRun through Form1 / RunScan alone, medians: %.3fx\n",
          Median(times_["BM_RunThroughForm1"]) / Median(times_["BM_RunScanKeepingLastText"]));
    }
  }

 private:
  static double Median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
  }

  std::map<std::string, std::vector<double>> times_;
};

// Random bytes hold the markers now and then, as real files do: some sixteen
// thousand findings in 1 GiB.
bool WriteRandomFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    return false;
  }
  // NOLINTNEXTLINE(cert-msc32-c,cert-msc51-cpp): the same bytes on every run, on purpose
  std::mt19937_64 random(20260101);
  constexpr qint64 kChunkBytes = qint64{1} << 20;
  std::vector<std::uint64_t> words(kChunkBytes / sizeof(std::uint64_t));
  for (qint64 written = 0; written < kFileSize; written += kChunkBytes) {
    std::generate(words.begin(), words.end(), std::ref(random));
    if (file.write(reinterpret_cast<const char*>(words.data()), kChunkBytes) != kChunkBytes) {
      return false;
    }
  }
  // Written back before the first measurement, which would otherwise share
  // the machine with the writeback.
  return file.flush() && ::fsync(file.handle()) == 0;
}

}  // namespace
}  // namespace telltale

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);

  const QTemporaryDir directory;  // removed with the file when main returns
  telltale::g_path = directory.filePath(QStringLiteral("random.bin"));
  if (!directory.isValid() || !telltale::WriteRandomFile(telltale::g_path)) {
    static_cast<void>(std::fputs("window_bench: cannot write the 1 GiB test file\n", stderr));
    return 1;
  }
  telltale::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
