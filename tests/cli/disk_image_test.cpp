// SPDX-License-Identifier: Apache-2.0
// --image on disk images made at test time from one folder, without mounting:
// ext4 (mke2fs -d, a file then deleted with debugfs), FAT (mkfs.fat, mcopy,
// mdel), both in one partitioned image (sfdisk), the ext4 image as E01
// (ewfacquire) and as split raw. Every file inside must give what the same
// file gives in the folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "image_inputs.h"
#include "scanner_process.h"

namespace telltale::cli::testing {
namespace {

namespace fs = std::filesystem;
using telltale::testing::Utf8Of;

// Debian installs the file system tools in sbin, which a user's PATH may lack.
std::string SystemTool(const std::string& name) {
  for (const char* folder : {"/usr/sbin/", "/sbin/"}) {
    std::string path = folder;
    path += name;
    if (fs::exists(path)) {
      return path;
    }
  }
  return name;
}

// The lines of `out`, grouped by file in their order, each file named by
// what follows `prefix` in its path up to the next colon (no name here has
// one); lines of other paths are left out.
std::map<std::string, std::string> LinesByFile(const std::string& out, const std::string& prefix) {
  std::map<std::string, std::string> files;
  std::size_t start = 0;
  for (std::size_t end = 0; (end = out.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::string line = out.substr(start, end - start);
    const std::size_t colon = line.find(':', prefix.size());
    if (line.starts_with(prefix) && colon != std::string::npos) {
      std::string& lines = files[line.substr(prefix.size(), colon - prefix.size())];
      lines += line.substr(colon);
      lines += '\n';
    }
  }
  return files;
}

// The images, made once for all the tests.
class DiskImageTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = std::make_unique<TempDir>();
    const std::string top = Utf8Of(dir_->path());
    fs::create_directories(dir_->path() / "tree/sub/deeper");
    // Markers at a chunk's end in the large file, so that reads at offsets
    // through the image and the two passes of the scan are both exercised.
    std::string large = RandomText(700 * 1024, "abcdef \n", 7);
    large.replace(256 * 1024 - 1, 3, "CDN");
    large.replace(512 * 1024 - 1, 2, "\xFF\xDB");
    dir_->Write("tree/large.bin", large);
    dir_->Write("tree/notes.txt", "meet at the CDN office \xFF\xDB\n");
    dir_->Write("tree/sub/deeper/cdn.txt", "cdn and CDN\n");
    dir_->Write("tree/empty.txt", "");
    dir_->Write("tree/gone.txt", "deleted: CDN \xFF\xDB\n");

    ext4_ = top + "/ext4.img";
    RunTool({SystemTool("mke2fs"), "-q", "-t", "ext4", "-d", top + "/tree", ext4_, "4M"});
    RunTool({SystemTool("debugfs"), "-w", "-R", "rm /gone.txt", ext4_});
    fat_ = top + "/fat.img";
    RunTool({"truncate", "-s", "4M", fat_});
    RunTool({SystemTool("mkfs.fat"), fat_});
    RunTool({"sh", "-c", R"(cd "$1" && mcopy -s -i "$2" * ::/)", "sh", top + "/tree", fat_});
    RunTool({"mdel", "-i", fat_, "::/gone.txt"});
    // The deleted file out of the folder, where the others are compared.
    fs::rename(dir_->path() / "tree/gone.txt", dir_->path() / "gone.txt");

    // ext4 at 1 MiB, FAT at 5 MiB, and a third partition holding zeros.
    parts_ = top + "/parts.img";
    RunTool({"truncate", "-s", "14M", parts_});
    const std::string table =
        dir_->Write("table.sfdisk",
                    "label: dos\nstart=2048, size=8192, type=83\nstart=10240, size=8192, type=c\n"
                    "start=18432, size=8192, type=83\n");
    RunTool({"sh", "-c", R"("$1" -q "$2" <"$3")", "sh", SystemTool("sfdisk"), parts_, table});
    for (const auto& [image, sector] : {std::pair{ext4_, "2048"}, std::pair{fat_, "10240"}}) {
      std::string seek = "seek=";
      seek += sector;
      std::string from = "if=";
      from += image;
      std::string to = "of=";
      to += parts_;
      RunTool({"dd", from, to, "bs=512", seek, "conv=notrunc", "status=none"});
    }

    // Not compressed, so that a byte of a file's content can be found and
    // altered in it.
    RunTool({"ewfacquire", "-u", "-q", "-c", "none", "-f", "encase6", "-t", top + "/ext4", ext4_});
    e01_ = top + "/ext4.E01";
    RunTool({"split", "-b", "1M", "-d", "-a", "3", "--numeric-suffixes=1", ext4_, top + "/split."});
    split_ = top + "/split.001";
    cut_e01_ = top + "/cut.E01";
    RunTool({"sh", "-c", R"(head -c 20000 "$1" >"$2")", "sh", e01_, cut_e01_});
  }

  static void TearDownTestSuite() { dir_.reset(); }

  // What the folder's files give, named from its root ("/notes.txt").
  static std::map<std::string, std::string> FolderLines(const std::vector<std::string>& options) {
    std::vector<std::string> args = options;
    args.emplace_back("-r");
    args.push_back(Utf8Of(dir_->path() / "tree"));
    const ScannerRun run = RunScanner(args);
    EXPECT_EQ(run.status, 0) << run.err;
    return LinesByFile(run.out, args.back());
  }

  static std::string DeletedLines() {
    return LinesByFile(RunScanner({Utf8Of(dir_->path() / "gone.txt")}).out,
                       Utf8Of(dir_->path() / "gone.txt"))[""];
  }

  static std::unique_ptr<TempDir> dir_;
  static std::string ext4_, fat_, parts_, e01_, split_, cut_e01_;
};

std::unique_ptr<TempDir> DiskImageTest::dir_;
std::string DiskImageTest::ext4_, DiskImageTest::fat_, DiskImageTest::parts_, DiskImageTest::e01_,
    DiskImageTest::split_, DiskImageTest::cut_e01_;

// Each format's files, deleted one included, with one job and several: the
// findings of each file in its order, and its count and digest in -c.
TEST_F(DiskImageTest, EveryFileGivesWhatTheFolderGives) {
  std::map<std::string, std::string> expected = FolderLines({});
  std::map<std::string, std::string> counts = FolderLines({"-c", "--hash"});
  const std::string deleted = DeletedLines();
  // FAT keeps a deleted name without its first letter.
  for (const auto& [image, deleted_name] :
       {std::pair{ext4_, "/gone.txt"}, std::pair{fat_, "/_one.txt"}, std::pair{e01_, "/gone.txt"},
        std::pair{split_, "/gone.txt"}}) {
    std::map<std::string, std::string> with_deleted = expected;
    with_deleted[deleted_name] = deleted;
    for (const char* jobs : {"1", "3"}) {
      const ScannerRun run = RunScanner({"--image", "-j", jobs, image});
      EXPECT_EQ(run.status, 0) << image << run.err;
      EXPECT_EQ(LinesByFile(run.out, image + "::p0"), with_deleted) << image << " -j " << jobs;
    }
    const ScannerRun count_run = RunScanner({"--image", "-c", "--hash", image});
    std::map<std::string, std::string> image_counts = LinesByFile(count_run.out, image + "::p0");
    image_counts.erase(deleted_name);
    EXPECT_EQ(image_counts, counts) << image;
  }
}

TEST_F(DiskImageTest, DeletedFilesAreMarkedSoInEveryRecord) {
  for (const auto& [image, deleted_name] :
       {std::pair{ext4_, "/gone.txt"}, std::pair{fat_, "/_one.txt"}}) {
    const ScannerRun run = RunScanner({"--json", "--image", image});
    std::string deleted_records;
    std::string live_records;
    const std::string records = Records(run.out, {"finding", "file"});
    std::size_t start = 0;
    for (std::size_t end = 0; (end = records.find('\n', start)) != std::string::npos;
         start = end + 1) {
      const std::string record = records.substr(start, end - start);
      std::string member = R"("fs_path":")";
      member += deleted_name;
      member += '"';
      (record.find(member) != std::string::npos ? deleted_records : live_records) += record + '\n';
    }
    // Two findings and the file record, each saying it is deleted.
    EXPECT_EQ(std::count(deleted_records.begin(), deleted_records.end(), '\n'), 3) << image;
    EXPECT_EQ(deleted_records.find(R"("allocated":true)"), std::string::npos) << deleted_records;
    EXPECT_EQ(live_records.find(R"("allocated":false)"), std::string::npos) << live_records;
    EXPECT_NE(live_records.find(R"("meta_address":)"), std::string::npos);
  }
}

// Partitions are named by index and offset; one holding no file system is
// a failure of its own, and the others are scanned all the same.
TEST_F(DiskImageTest, PartitionsAreNamedAndOneUnreadableFailsAlone) {
  const ScannerRun run = RunScanner({"--json", "--image", parts_});
  EXPECT_EQ(run.status, 2) << run.err;
  const std::string errors = Records(run.out, {"error"});
  EXPECT_NE(errors.find(R"("partition":{"index":3,"offset":9437184})"), std::string::npos)
      << errors;
  std::string named = "::p3: ";
  EXPECT_NE(run.err.find(named), std::string::npos) << run.err;
  EXPECT_NE(run.out.find(R"("partition":{"index":2,"offset":5242880},"fs_path":"/notes.txt")"),
            std::string::npos);

  const ScannerRun lines = RunScanner({"--image", parts_});
  EXPECT_EQ(LinesByFile(lines.out, parts_ + "::p1"),
            LinesByFile(RunScanner({"--image", ext4_}).out, ext4_ + "::p0"));
  EXPECT_EQ(LinesByFile(lines.out, parts_ + "::p2"),
            LinesByFile(RunScanner({"--image", fat_}).out, fat_ + "::p0"));
}

// The number after `"name":` in `record`; none where it is absent.
std::optional<std::uint64_t> NumberMember(const std::string& record, std::string_view name) {
  std::string key = "\"";
  key += name;
  key += "\":";
  const std::size_t at = record.find(key);
  if (at == std::string::npos) {
    return std::nullopt;
  }
  return std::stoull(record.substr(at + key.size()));
}

// Each finding's image_offset is where its marker lies in the image's media:
// through partition offsets, FAT and ext4 blocks, runs of unallocated blocks,
// and an E01's disk (the raw image it was made from). The deleted files'
// markers lie in unallocated runs, and no live file's does.
TEST_F(DiskImageTest, FindingsAreLocatedInTheImage) {
  for (const auto& [image, media] : {std::pair{parts_, parts_}, std::pair{e01_, ext4_}}) {
    const std::string records =
        Records(RunScanner({"--json", "--image", "--unallocated", image}).out, {"finding"});
    std::ifstream bytes(media, std::ios::binary);
    std::set<std::uint64_t> deleted;
    std::set<std::uint64_t> live;
    std::set<std::uint64_t> unallocated;
    std::size_t start = 0;
    for (std::size_t end = 0; (end = records.find('\n', start)) != std::string::npos;
         start = end + 1) {
      const std::string record = records.substr(start, end - start);
      const std::optional<std::uint64_t> offset = NumberMember(record, "image_offset");
      ASSERT_TRUE(offset) << record;
      std::string marker(3, '\0');
      bytes.seekg(static_cast<std::streamoff>(*offset));
      bytes.read(marker.data(), 3);
      if (record.find(R"("tool":"JPHide")") != std::string::npos) {
        EXPECT_EQ(marker.substr(0, 2), "\xFF\xDB") << record;
      } else {
        std::transform(marker.begin(), marker.end(), marker.begin(),
                       [](char c) { return static_cast<char>(std::toupper(c)); });
        EXPECT_EQ(marker, "CDN") << record;
      }
      if (record.find(R"("unallocated":{)") != std::string::npos) {
        unallocated.insert(*offset);
      } else {
        (record.find(R"("allocated":false)") != std::string::npos ? deleted : live).insert(*offset);
      }
    }
    EXPECT_GT(live.size(), 5U) << image;
    EXPECT_FALSE(deleted.empty()) << image;
    EXPECT_TRUE(
        std::includes(unallocated.begin(), unallocated.end(), deleted.begin(), deleted.end()))
        << image;
    std::vector<std::uint64_t> both;
    std::set_intersection(live.begin(), live.end(), unallocated.begin(), unallocated.end(),
                          std::back_inserter(both));
    EXPECT_TRUE(both.empty()) << image;
  }
}

// --verify: the E01 as made matches its stored MD5; with one byte of a file
// altered it does not, nor can a raw image, which stores none. Each failure
// names its image, and the images' files are scanned all the same.
TEST_F(DiskImageTest, VerifyChecksTheStoredHash) {
  std::ifstream in(e01_, std::ios::binary);
  std::string e01{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const std::size_t at = e01.find("meet at the CDN office");
  ASSERT_NE(at, std::string::npos);
  e01[at] = 'M';
  const std::string altered = dir_->Write("altered.E01", e01);
  const ScannerRun run = RunScanner({"--json", "--verify", "--image", e01_, altered, ext4_});
  EXPECT_EQ(run.status, 2) << run.err;
  const std::string images = Records(run.out, {"image"});
  EXPECT_EQ(std::count(images.begin(), images.end(), '\n'), 1) << images;
  std::string verified = R"({"type":"image","path":")";
  verified += e01_;
  EXPECT_TRUE(images.starts_with(verified)) << images;
  EXPECT_NE(images.find(R"("verified":true)"), std::string::npos) << images;
  const std::string errors = Records(run.out, {"error"});
  std::string mismatch = altered;
  mismatch += ": the data's MD5 ";
  EXPECT_NE(run.err.find(mismatch), std::string::npos) << run.err;
  std::string none = ext4_;
  none += ": no stored hash to verify";
  EXPECT_NE(run.err.find(none), std::string::npos) << run.err;
  EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 2) << errors;
  std::string ext4_file = R"("path":")";
  ext4_file += ext4_;
  ext4_file += R"(::p0/notes.txt")";
  EXPECT_NE(Records(run.out, {"file"}).find(ext4_file), std::string::npos);
}

// A cut E01 and a missing image each give an error record naming them, and
// the image after them is scanned.
TEST_F(DiskImageTest, DamagedImagesFailAndTheScanGoesOn) {
  const std::string missing = Utf8Of(dir_->path() / "missing.img");
  const ScannerRun run = RunScanner({"--json", "--image", cut_e01_, missing, ext4_});
  EXPECT_EQ(run.status, 2) << run.err;
  const std::string errors = Records(run.out, {"error"});
  std::string cut_path = R"("path":")";
  cut_path += cut_e01_;
  std::string missing_path = R"("path":")";
  missing_path += missing;
  missing_path += '"';
  EXPECT_NE(errors.find(cut_path), std::string::npos) << errors;
  EXPECT_NE(errors.find(missing_path), std::string::npos) << errors;
  std::string ext4_file = R"("path":")";
  ext4_file += ext4_;
  ext4_file += R"(::p0/notes.txt")";
  EXPECT_NE(Records(run.out, {"file"}).find(ext4_file), std::string::npos);
}

}  // namespace
}  // namespace telltale::cli::testing
