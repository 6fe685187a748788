// SPDX-License-Identifier: Apache-2.0
// The JSON records of a run: what ran and when first, a record for every
// input whatever became of it, the totals last; digests of exactly the bytes
// scanned; and the values a run here cannot be made to give.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

#include "batch_in_process.h"
#include "cli/run_printer.h"
#include "cli/sha256.h"
#include "scanner_process.h"
#include "telltale/telltale.h"

namespace telltale::cli::testing {
namespace {

// `line` with the value of `member` replaced by "_", which goes to `value`
// with each digit shown as 'D': for values that differ from run to run.
std::string TakeOut(std::string line, const std::string& member, std::string& value) {
  const std::string key = "\"" + member + "\":";
  const std::size_t start = line.find(key);
  if (start == std::string::npos) {
    return line;
  }
  const std::size_t from = start + key.size();
  const std::size_t to = line.find_first_of(",}", from);
  value = line.substr(from, to - from);
  std::replace_if(
      value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; }, 'D');
  std::string kept(line, 0, from);
  kept += '_';
  kept.append(line, to);
  return kept;
}

std::string Digest(std::string_view bytes) {
  Sha256 digest;
  digest.Update({reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()});
  return digest.HexDigest();
}

TEST(JsonRecords, RunFirstThenARecordForEveryInputAndTheTotalsLast) {
  const TempDir dir;
  std::filesystem::create_directory(dir.path() / "tree");
  dir.Write("tree/a.jpg", "x\xFF\xDB..CDN");
  dir.Write("tree/clean", "plain");
  ASSERT_EQ(::mkfifo((dir.path() / "tree/pipe").c_str(), 0600), 0);
  // Options after paths: the record keeps the words as typed, not as the
  // option parser reorders them.
  const BatchRun run = RunBatch({"tree", "--json", "-r", "missing"}, dir.path().string());
  const std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 8U) << run.out;
  std::string run_record =
      R"({"type":"run","tool":"telltale-scan","version":"1.00",)"
      R"("command_line":["telltale-scan","tree","--json","-r","missing"],"started":_,)"
      R"("access_times":")";
  run_record += AccessTimeHandling();
  run_record += "\"}";
  std::string started;
  EXPECT_EQ(TakeOut(lines[0], "started", started), run_record);
  EXPECT_EQ(started, R"("DDDD-DD-DDTDD:DD:DD.DDDZ")");
  const std::vector<std::string> inputs(lines.begin() + 1, lines.end() - 1);
  const std::string file_start = R"({"type":"file","path":"tree/)";
  const std::string finding_start = R"({"type":"finding","path":"tree/a.jpg",)";
  const std::vector<std::string> expected = {
      finding_start + R"("tool":"JPHide","position":2,"offset":1,)" +
          R"("context":"not a recognised format","explained":false})",
      finding_start + R"("tool":"Hiderman","position":6,"offset":5,)" +
          R"("context":"not a recognised format","explained":false})",
      file_start + R"(a.jpg","bytes":8,"counts":{"JPHide":1,"Hiderman":1},)" +
          R"("format":null,"changed":false,"access_time_kept":true})",
      file_start + R"(clean","bytes":5,"counts":{"JPHide":0,"Hiderman":0},)" +
          R"("format":null,"changed":false,"access_time_kept":true})",
      R"({"type":"skipped","path":"tree/pipe","reason":"a named pipe"})",
      R"({"type":"error","path":"missing","error":"No such file or directory","errno":2})",
  };
  EXPECT_EQ(inputs, expected);
  std::string elapsed;
  EXPECT_EQ(TakeOut(lines.back(), "elapsed_seconds", elapsed),
            R"({"type":"summary","scanned":2,"failed":1,"skipped":1,"bytes":13,)"
            R"("findings":{"JPHide":1,"Hiderman":1},"elapsed_seconds":_,"exit_status":2})");
  EXPECT_EQ(elapsed, "D.DDDDDD");
  EXPECT_EQ(run.status, 2);
}

TEST(JsonRecords, DigestsAreOfExactlyTheBytesScanned) {
  const TempDir dir;
  // Many chunks, read by two workers ahead of the digest, with second-rule
  // markers so that parts are read twice: each byte must still count once,
  // in order.
  const std::string big = RandomText(3'000'000, "cdnCDN\xFF\xDB.", 7);
  dir.Write("big", big);
  dir.Write("abc", "abc");
  dir.Write("empty", "");
  // The standard's own example for "abc" checks the digest itself.
  const std::string abc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
  const std::string directory = dir.path().string();

  const BatchRun counts = RunBatch({"-c", "--hash", "abc", "big", "empty"}, directory);
  const std::vector<std::string> lines = Lines(counts.out);
  ASSERT_EQ(lines.size(), 3U) << counts.out;
  const std::string big_digest = Digest(big);
  const std::string empty_digest = Digest("");
  EXPECT_EQ(lines[0], "abc:0:0:" + abc);
  EXPECT_TRUE(lines[1].starts_with("big:")) << lines[1];
  EXPECT_TRUE(lines[1].ends_with(big_digest)) << lines[1];
  EXPECT_EQ(lines[2], "empty:0:0:" + empty_digest);

  const std::string file = Records(RunBatch({"--json", "--hash", "big"}, directory).out, {"file"});
  EXPECT_NE(file.find(R"("bytes":3000000,)"), std::string::npos) << file;
  EXPECT_NE(file.find(big_digest), std::string::npos) << file;
  EXPECT_TRUE(file.ends_with("\"}\n")) << file;
}

TEST(JsonRecords, ClockValuesAndUnkeptAccessTimesAreWrittenExactly) {
  // A run's clock is not the test's, and as root every access time is kept:
  // the printer is given such values instead.
  using namespace std::chrono_literals;
  const std::unique_ptr<RunPrinter> printer = MakeRunPrinter(OutputFormat::kJson, {});
  const std::vector<std::string> words{"telltale-scan", "--json", "x"};
  // 999 microseconds past the millisecond: the start is cut to it, never
  // moved later than it was.
  const auto started = std::chrono::sys_days{2026y / 2 / 7} + 4h + 5min + 9s + 123ms + 999us;
  std::string out;
  printer->RunStarted(out, RunStart{words, started, "kept for the user's own files"});
  EXPECT_EQ(out,
            R"({"type":"run","tool":"telltale-scan","version":"1.00",)"
            R"("command_line":["telltale-scan","--json","x"],"started":"2026-02-07T04:05:09.123Z",)"
            R"("access_times":"kept for the user's own files"})"
            "\n");

  out.clear();
  const std::unique_ptr<InputPrinter> input = printer->ForInput("x");
  ScannedInput scanned;
  scanned.bytes = 3;
  scanned.access_time_kept = false;
  input->Scanned(out, scanned);
  scanned.access_time_kept.reset();  // a stream's
  input->Scanned(out, scanned);
  EXPECT_EQ(out, R"({"type":"file","path":"x","bytes":3,"counts":{"JPHide":0,"Hiderman":0},)"
                 R"("changed":false,"access_time_kept":false})"
                 "\n"
                 R"({"type":"file","path":"x","bytes":3,"counts":{"JPHide":0,"Hiderman":0},)"
                 R"("changed":false})"
                 "\n");

  out.clear();
  RunTotals totals;
  totals.scanned = 1;
  totals.bytes = 3;
  totals.elapsed = 61s + 42us;
  printer->RunEnded(out, totals);
  EXPECT_EQ(out,
            R"({"type":"summary","scanned":1,"failed":0,"skipped":0,"bytes":3,)"
            R"("findings":{"JPHide":0,"Hiderman":0},"elapsed_seconds":61.000042,"exit_status":0})"
            "\n");
}

TEST(JsonRecords, PlacesFormatsAndWhatWasLeftOutAreWrittenExactly) {
  // Values the pictures made in the tests do not give: a place with a
  // colon, a GIF with an MP4 after it, a digest beside the walk's members.
  const std::unique_ptr<RunPrinter> printer = MakeRunPrinter(OutputFormat::kJson, {});
  const std::unique_ptr<InputPrinter> input = printer->ForInput("x");
  std::string out;
  const ScanFinding finding{kSignatureTable.data(), 300};
  input->Finding(out, finding,
                 FindingPlace{"EXIF thumbnail: JPEG quantization table marker", true});
  ScannedInput scanned;
  scanned.bytes = 120;
  scanned.counts = {1, 0};
  scanned.explained_left_out = 3;
  scanned.walk = WalkOutcome{.format = ImageFormat::kGif,
                             .appended = AppendedData{100, 20, AppendedStart::kMp4},
                             .broken_at = std::nullopt};
  const std::string digest(64, 'a');
  scanned.sha256 = digest;
  input->Scanned(out, scanned);
  scanned.walk = WalkOutcome{};
  scanned.explained_left_out.reset();
  scanned.sha256.clear();
  input->Scanned(out, scanned);
  std::string expected =
      R"({"type":"finding","path":"x","tool":"JPHide","position":300,"offset":299,)"
      R"("context":"EXIF thumbnail: JPEG quantization table marker","explained":true})"
      "\n"
      R"({"type":"file","path":"x","bytes":120,"counts":{"JPHide":1,"Hiderman":0},)"
      R"("explained_left_out":3,"format":"gif",)"
      R"("appended":{"offset":100,"length":20,"starts_with":"mp4"},)"
      R"("changed":false,"sha256":")";
  expected += digest;
  expected += R"("})"
              "\n"
              R"({"type":"file","path":"x","bytes":120,"counts":{"JPHide":1,"Hiderman":0},)"
              R"("format":null,"changed":false})"
              "\n";
  EXPECT_EQ(out, expected);

  out.clear();
  RunTotals totals;
  totals.explained_left_out = 3;
  totals.exit_status = 1;
  printer->RunEnded(out, totals);
  EXPECT_EQ(out, R"({"type":"summary","scanned":0,"failed":0,"skipped":0,"bytes":0,)"
                 R"("findings":{"JPHide":0,"Hiderman":0},"explained_left_out":3,)"
                 R"("elapsed_seconds":0.000000,"exit_status":1})"
                 "\n");
}

}  // namespace
}  // namespace telltale::cli::testing
