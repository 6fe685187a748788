// What the window adds to a Run: a Run through Form1 (Run pressed, the dialog
// answering at once) against RunScan with a sink that only keeps the last
// text, both on a 256 MiB file of back-to-back FF DB, 128 Mi findings.
// Prints the ratio of the two at the end.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "detection/last_text_sink.h"
#include "detection/run_scan.h"
#include "window/form1.h"

namespace telltale {
namespace {

constexpr qint64 kFileSize = qint64{256} << 20;

QString g_path;

void BM_RunScanKeepingLastText(benchmark::State& state) {
  const std::string path = QFile::encodeName(g_path).toStdString();
  for (auto _ : state) {
    LastTextSink sink;
    RunScan(path, sink);
    benchmark::DoNotOptimize(sink.text().data());
  }
}

void BM_RunThroughForm1(benchmark::State& state) {
  Form1 form([](QWidget&) { return std::optional<QString>(g_path); },
             [](QWidget&, const RunFailure& failure) {
               static_cast<void>(std::fprintf(stderr, "%s\n", qPrintable(failure.ResultsText())));
               std::abort();
             });
  auto* run = form.findChild<QPushButton*>("cmdTest");
  auto* results = form.findChild<QPlainTextEdit*>("txtResults");
  for (auto _ : state) {
    run->click();
    benchmark::DoNotOptimize(results->document());
  }
  if (!results->toPlainText().endsWith(QStringLiteral("JPHide program detected!"))) {
    state.SkipWithError("the Run did not end with the last finding");
  }
}

BENCHMARK(BM_RunScanKeepingLastText)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);
BENCHMARK(BM_RunThroughForm1)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);

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

bool WriteDenseFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    return false;
  }
  QByteArray chunk(qsizetype{1} << 20, '\0');
  for (qsizetype i = 0; i < chunk.size(); i += 2) {
    chunk[i] = static_cast<char>(0xFF);
    chunk[i + 1] = static_cast<char>(0xDB);
  }
  for (qint64 written = 0; written < kFileSize; written += chunk.size()) {
    if (file.write(chunk) != chunk.size()) {
      return false;
    }
  }
  return true;
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
  telltale::g_path = directory.filePath(QStringLiteral("dense.bin"));
  if (!directory.isValid() || !telltale::WriteDenseFile(telltale::g_path)) {
    static_cast<void>(std::fputs("window_bench: cannot write the 256 MiB test file\n", stderr));
    return 1;
  }
  telltale::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
