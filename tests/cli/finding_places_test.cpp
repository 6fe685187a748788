// SPDX-License-Identifier: Apache-2.0
// Where each finding lies, on pictures made at test time: the fourth field of
// --explain, the findings --unexplained leaves out and what it then counts,
// and the walk's members of the JSON records. The places themselves are the
// structure walk's and are tested with it; these tests hold the scanner to
// what the walk says, and to its output without these options.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "image_inputs.h"
#include "scanner_process.h"

namespace telltale::cli::testing {
namespace {

// The value of the string member `name` of the JSON record `record`: the
// paths of the temporary directory and the contexts need no escapes.
std::string StringMember(const std::string& record, std::string_view name) {
  std::string key = "\"";
  key += name;
  key += "\":\"";
  const std::size_t start = record.find(key);
  if (start == std::string::npos) {
    return {};
  }
  const std::size_t from = start + key.size();
  return record.substr(from, record.find('"', from) - from);
}

bool IsExplained(const std::string& finding_record) {
  return finding_record.find(R"("explained":true)") != std::string::npos;
}

std::string Tool(const std::string& finding_record) { return StringMember(finding_record, "tool"); }

// Runs the scanner with `options`, then `paths`.
ScannerRun Scan(std::vector<std::string> options, const std::vector<std::string>& paths) {
  options.insert(options.end(), paths.begin(), paths.end());
  return RunScanner(options);
}

std::vector<std::string> PathsOf(const std::vector<ImageInput>& inputs) {
  std::vector<std::string> paths;
  paths.reserve(inputs.size());
  for (const ImageInput& input : inputs) {
    paths.push_back(input.path);
  }
  return paths;
}

// The default lines of the findings of `input` that lie at or after
// `offset`.
std::string LinesFrom(const ImageInput& input, std::size_t offset) {
  std::string lines;
  for (const ScanFinding& finding : FindingsOf(input.content)) {
    if (finding.position > offset) {
      lines += input.path;
      lines += ':';
      lines += std::to_string(finding.position);
      lines += ':';
      lines += finding.rule->tool;
      lines += '\n';
    }
  }
  return lines;
}

// {"JPHide":J,"Hiderman":H} for the finding records in `records`.
std::string CountsOf(const std::vector<std::string>& records) {
  std::size_t jphide = 0;
  std::size_t hiderman = 0;
  for (const std::string& record : records) {
    (Tool(record) == "JPHide" ? jphide : hiderman) += 1;
  }
  std::string counts = R"({"JPHide":)";
  counts += std::to_string(jphide);
  counts += R"(,"Hiderman":)";
  counts += std::to_string(hiderman);
  counts += '}';
  return counts;
}

TEST(FindingPlaces, ExplainAddsThePlaceAsAFourthFieldAndTheDefaultOutputStaysAsItWas) {
  const TempDir dir;
  const ImageInputs inputs(dir);
  const std::vector<std::string> paths = PathsOf(inputs.All());
  std::string expected;
  for (const ImageInput& input : inputs.All()) {
    expected += ExpectedLines(input.path, input.content);
  }
  const ScannerRun plain = Scan({}, paths);
  EXPECT_TRUE(SameLines(plain.out, expected));
  EXPECT_EQ(plain.status, 0);

  // Each line gains the place its JSON record gives, and nothing else; with
  // -0 the NUL still ends the path.
  const std::vector<std::string> records = Lines(Records(Scan({"--json"}, paths).out, {"finding"}));
  const std::vector<std::string> lines = Lines(plain.out);
  ASSERT_EQ(records.size(), lines.size());
  ASSERT_FALSE(records.empty());
  EXPECT_EQ(StringMember(records[0], "context"), "JPEG quantization table marker") << records[0];
  std::string explained;
  std::string null_explained;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string context = StringMember(records[i], "context");
    EXPECT_NE(context, "") << records[i];
    const std::string path = StringMember(records[i], "path");
    ASSERT_TRUE(lines[i].starts_with(path + ":")) << lines[i];
    explained += lines[i];
    explained += ':';
    explained += context;
    explained += '\n';
    null_explained += path;
    null_explained += '\0';
    null_explained += lines[i].substr(path.size() + 1);
    null_explained += ':';
    null_explained += context;
    null_explained += '\n';
  }
  const ScannerRun explain = Scan({"--explain"}, paths);
  EXPECT_TRUE(SameLines(explain.out, explained));
  EXPECT_EQ(explain.status, 0);
  EXPECT_TRUE(SameLines(Scan({"--explain", "-0"}, paths).out, null_explained));
  // A count line has no finding to place: -c takes --explain, as grep -c
  // takes -n, and prints what it prints without it.
  EXPECT_EQ(Scan({"-c", "--explain"}, paths).out, Scan({"-c"}, paths).out);
}

TEST(FindingPlaces, UnexplainedIsSilentOnPhotosAndReportsWhatFollowsOnesEnd) {
  const TempDir dir;
  const ImageInputs inputs(dir);
  const std::filesystem::path photos = dir.path() / "photos";
  std::filesystem::create_directory(photos);
  std::filesystem::copy_file(inputs.photo.path, photos / "gradient.jpg");
  RunTool({"convert", "rose:", (photos / "rose.jpg").string()});
  // Their markers are their own tables': reported without the option, not
  // with it.
  EXPECT_NE(RunScanner({"-r", photos.string()}).out, "");
  const ScannerRun silent = RunScanner({"--unexplained", "-r", photos.string()});
  EXPECT_EQ(silent.out, "");
  EXPECT_EQ(silent.err, "");
  EXPECT_EQ(silent.status, 1);

  // Appended, the ZIP's markers are reported, and only they.
  const std::string appended = LinesFrom(inputs.carrier, inputs.photo.content.size());
  ASSERT_NE(appended, "");
  const ScannerRun carrier = RunScanner({"--unexplained", inputs.carrier.path});
  EXPECT_EQ(carrier.out, appended);
  EXPECT_EQ(carrier.status, 0);
  std::string placed;
  for (const std::string& line : Lines(appended)) {
    placed += line;
    placed += ":after the end of the JPEG image\n";
  }
  EXPECT_EQ(RunScanner({"--unexplained", "--explain", inputs.carrier.path}).out, placed);

  // Counts are of what is reported, and so is the exit status.
  std::size_t jphide = 0;
  for (const std::string& line : Lines(appended)) {
    jphide += line.ends_with(":JPHide") ? 1 : 0;
  }
  std::string counts = inputs.photo.path;
  counts += ":0:0\n";
  counts += inputs.carrier.path;
  counts += ':';
  counts += std::to_string(jphide);
  counts += ':';
  counts += std::to_string(Lines(appended).size() - jphide);
  counts += '\n';
  EXPECT_EQ(RunScanner({"-c", "--unexplained", inputs.photo.path, inputs.carrier.path}).out,
            counts);
  EXPECT_EQ(RunScanner({"-c", "--unexplained", inputs.photo.path}).status, 1);
}

TEST(FindingPlaces, UnexplainedJsonCountsWhatItReportsAndWhatItLeavesOut) {
  const TempDir dir;
  const ImageInputs inputs(dir);
  const std::vector<std::string> paths = PathsOf(inputs.All());
  const ScannerRun all = Scan({"--json"}, paths);
  const ScannerRun only = Scan({"--json", "--unexplained"}, paths);

  // The records reported are those of the full run that are not explained.
  std::vector<std::string> kept;
  std::string kept_text;
  std::map<std::string, std::vector<std::string>> kept_by_path;
  std::map<std::string, std::size_t> left_out_by_path;
  std::size_t left_out = 0;
  for (const std::string& record : Lines(Records(all.out, {"finding"}))) {
    const std::string path = StringMember(record, "path");
    if (IsExplained(record)) {
      ++left_out;
      ++left_out_by_path[path];
    } else {
      kept.push_back(record);
      kept_by_path[path].push_back(record);
      kept_text += record;
      kept_text += '\n';
    }
  }
  ASSERT_GT(left_out, 0U);
  EXPECT_EQ(Records(only.out, {"finding"}), kept_text);

  std::string totals = R"("findings":)";
  totals += CountsOf(kept);
  totals += R"(,"explained_left_out":)";
  totals += std::to_string(left_out);
  totals += ',';
  EXPECT_NE(Records(only.out, {"summary"}).find(totals), std::string::npos)
      << Records(only.out, {"summary"}) << " lacks " << totals;
  const std::vector<std::string> files = Lines(Records(only.out, {"file"}));
  ASSERT_EQ(files.size(), paths.size());
  for (const std::string& file : files) {
    const std::string path = StringMember(file, "path");
    std::string own = R"("counts":)";
    own += CountsOf(kept_by_path[path]);
    own += R"(,"explained_left_out":)";
    own += std::to_string(left_out_by_path[path]);
    own += ',';
    EXPECT_NE(file.find(own), std::string::npos) << file << " lacks " << own;
  }
  EXPECT_EQ(only.status, 0);
  // Without the option nothing is left out, and no record says so.
  EXPECT_EQ(all.out.find("explained_left_out"), std::string::npos);
}

TEST(FindingPlaces, FileRecordsNameTheFormatAndTheDataAfterTheImagesEnd) {
  const TempDir dir;
  const ImageInputs inputs(dir);
  // The photo cut short: its structure breaks where the input ends.
  const std::string cut = inputs.photo.content.substr(0, inputs.photo.content.size() / 2);
  const std::string cut_path = dir.Write("cut.jpg", cut);
  std::vector<std::string> paths = PathsOf(inputs.All());
  paths.push_back(cut_path);
  const ScannerRun run = Scan({"--json"}, paths);
  std::map<std::string, std::string> file_records;
  for (const std::string& record : Lines(Records(run.out, {"file"}))) {
    file_records[StringMember(record, "path")] = record;
  }
  std::string appended = R"(,"format":"jpeg","appended":{"offset":)";
  appended += std::to_string(inputs.photo.content.size());
  appended += R"(,"length":)";
  appended += std::to_string(inputs.archive.content.size());
  appended += R"(,"starts_with":"zip"},"changed":)";
  std::string breaks = R"(,"format":"jpeg","structure_breaks_at":)";
  breaks += std::to_string(cut.size());
  breaks += R"(,"changed":)";
  const std::map<std::string, std::string> expected = {
      {cut_path, breaks},
      {inputs.photo.path, R"(,"format":"jpeg","changed":)"},
      {inputs.carrier.path, appended},
      {inputs.picture.path, R"(,"format":"png","changed":)"},
      {inputs.archive.path, R"(,"format":null,"changed":)"},
      {inputs.notes.path, R"(,"format":null,"changed":)"},
  };
  for (const auto& [path, members] : expected) {
    EXPECT_NE(file_records[path].find(members), std::string::npos)
        << file_records[path] << " lacks " << members;
  }
}

TEST(FindingPlaces, StandardInputGetsTheRecordsOfTheSameFile) {
  // A stream is read once: its Hiderman findings are held to its end, and
  // the walk has to place them then.
  const TempDir dir;
  const ImageInputs inputs(dir);
  std::string file_path = R"("path":")";
  file_path += inputs.carrier.path;
  file_path += '"';
  const std::vector<std::vector<std::string>> option_sets = {{"--json"},
                                                             {"--json", "--unexplained"}};
  for (const std::vector<std::string>& options : option_sets) {
    std::string expected = Records(Scan(options, {inputs.carrier.path}).out, {"finding", "file"});
    for (std::size_t at = 0; (at = expected.find(file_path, at)) != std::string::npos;) {
      expected.replace(at, file_path.size(), R"j("path":"(standard input)")j");
    }
    const std::string kept = R"(,"access_time_kept":true)";
    expected.erase(expected.find(kept), kept.size());
    std::vector<std::string> args = options;
    args.emplace_back("-");
    const ScannerRun piped = RunScanner(args, WithInput(inputs.carrier.content));
    EXPECT_EQ(Records(piped.out, {"finding", "file"}), expected) << options.back();
  }
}

TEST(FindingPlaces, FindingsBeforeAFailureKeepTheirPlaces) {
  // The photo's table markers are reported as they are read; the Hiderman
  // markers after it are held for the end, too many for memory, while the
  // temporary file they would go to cannot be made.
  const TempDir dir;
  const ImageInputs inputs(dir);
  std::string content = inputs.photo.content;
  for (int i = 0; i < 1'000'000; ++i) {
    content += "CDN";
  }
  const char* old = std::getenv("TMPDIR");  // NOLINT(concurrency-mt-unsafe)
  const std::string saved = old != nullptr ? old : "";
  ASSERT_EQ(::setenv("TMPDIR", "/nonexistent/telltale", 1), 0);
  const ScannerRun json = RunScanner({"-q", "--json", "-"}, WithInput(content));
  const ScannerRun lines = RunScanner({"-q", "--explain", "-"}, WithInput(content));
  if (old != nullptr) {
    ::setenv("TMPDIR", saved.c_str(), 1);
  } else {
    ::unsetenv("TMPDIR");
  }

  const ScannerRun alone = RunScanner({"--json", "-"}, WithInput(inputs.photo.content));
  const std::string findings = Records(json.out, {"finding"});
  EXPECT_NE(findings.find(R"("context":"JPEG quantization table marker","explained":true)"),
            std::string::npos)
      << findings;
  EXPECT_EQ(findings, Records(alone.out, {"finding"}));
  EXPECT_NE(Records(json.out, {"error"}), "") << json.out;
  EXPECT_EQ(json.status, 2);
  std::string placed;
  for (const std::string& record : Lines(findings)) {
    const std::string position = R"("position":)";
    placed += "(standard input):";
    placed += std::to_string(std::stoull(record.substr(record.find(position) + position.size())));
    placed += ':';
    placed += Tool(record);
    placed += ':';
    placed += StringMember(record, "context");
    placed += '\n';
  }
  EXPECT_EQ(lines.out, placed);
  EXPECT_EQ(lines.status, 2);
}

}  // namespace
}  // namespace telltale::cli::testing
