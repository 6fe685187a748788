// SPDX-License-Identifier: Apache-2.0
// --image on disk images made at test time from one folder, without mounting:
// ext4 (mke2fs -d, a file then deleted with debugfs), FAT (mkfs.fat, mcopy,
// mdel), NTFS (mkntfs, ntfscp), ext4 and FAT in one partitioned image
// (sfdisk), the ext4 image as E01 (ewfacquire) and as split raw. Every file
// inside must give what the same file gives in the folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
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
// one); lines of other paths, and of unallocated runs ("@START-END"), are
// left out.
std::map<std::string, std::string> LinesByFile(const std::string& out, const std::string& prefix) {
  std::map<std::string, std::string> files;
  std::size_t start = 0;
  for (std::size_t end = 0; (end = out.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::string line = out.substr(start, end - start);
    const std::size_t colon = line.find(':', prefix.size());
    if (line.starts_with(prefix) && colon != std::string::npos && line[prefix.size()] != '@') {
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
    // A hole of 300 KiB, then a marker: ext4 stores no block for the hole,
    // which reads as zeros, and the marker's block alone.
    RunTool({"sh", "-c", R"(printf CDN | dd of="$1" bs=1 seek=307200 status=none)", "sh",
             top + "/tree/sparse.bin"});

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

    // ntfscp copies files, not folders: the tree's top files.
    ntfs_ = top + "/ntfs.img";
    RunTool({"truncate", "-s", "8M", ntfs_});
    RunTool({SystemTool("mkntfs"), "-q", "-F", "-Q", ntfs_});
    for (const char* name : kNtfsFiles) {
      RunTool({SystemTool("ntfscp"), ntfs_, top + "/tree" + name, name});
    }

    // A file in two clusters with another's between them: the first is the
    // one a deleted file freed. Its marker spans the two.
    fragmented_ = top + "/fragmented.img";
    RunTool({"truncate", "-s", "2M", fragmented_});
    RunTool({SystemTool("mkfs.fat"), "-s", "1", "-S", "512", fragmented_});
    const std::string first = dir_->Write("first.txt", std::string(512, 'x'));
    const std::string second = dir_->Write("second.txt", std::string(512, 'y'));
    const std::string split =
        dir_->Write("split.txt", std::string(510, 'z') + "CDN" + std::string(511, 'z'));
    RunTool({"mcopy", "-i", fragmented_, first, second, "::/"});
    RunTool({"mdel", "-i", fragmented_, "::/first.txt"});
    RunTool({"mcopy", "-i", fragmented_, split, "::/"});
  }

  static constexpr std::array<const char*, 3> kNtfsFiles{"/large.bin", "/notes.txt", "/empty.txt"};

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
  static std::string ext4_, fat_, parts_, e01_, split_, cut_e01_, ntfs_, fragmented_;
};

std::unique_ptr<TempDir> DiskImageTest::dir_;
std::string DiskImageTest::ext4_, DiskImageTest::fat_, DiskImageTest::parts_, DiskImageTest::e01_,
    DiskImageTest::split_, DiskImageTest::cut_e01_, DiskImageTest::ntfs_,
    DiskImageTest::fragmented_;

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

// `length` bytes of the file `path` from `offset`.
std::string BytesAt(const std::string& path, std::uint64_t offset, std::size_t length) {
  std::ifstream in(path, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(offset));
  std::string bytes(length, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(length));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  return bytes;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Whether the finding `record` names lies at `offset` of `media`: FF DB for
// JPHide, CDN in any case for Hiderman.
bool MarkerLiesAt(const std::string& media, const std::string& record, std::uint64_t offset) {
  std::string marker = BytesAt(media, offset, 3);
  if (record.find(R"("tool":"JPHide")") != std::string::npos) {
    return marker.starts_with("\xFF\xDB");
  }
  std::transform(marker.begin(), marker.end(), marker.begin(),
                 [](char c) { return static_cast<char>(std::toupper(c)); });
  return marker == "CDN";
}

// Each finding's image_offset is where its marker lies in the image's media:
// through partition offsets, FAT and ext4 blocks, runs of unallocated blocks,
// and an E01's disk (the raw image it was made from). The deleted files'
// markers lie in unallocated runs, and no live file's does.
TEST_F(DiskImageTest, FindingsAreLocatedInTheImage) {
  for (const auto& [image, media] : {std::pair{parts_, parts_}, std::pair{e01_, ext4_}}) {
    const std::string records = Records(RunScanner({"--json", "--image", image}).out, {"finding"});
    std::set<std::uint64_t> deleted;
    std::set<std::uint64_t> live;
    std::set<std::uint64_t> unallocated;
    for (const std::string& record : Lines(records)) {
      const std::optional<std::uint64_t> offset = NumberMember(record, "image_offset");
      ASSERT_TRUE(offset) << record;
      EXPECT_TRUE(MarkerLiesAt(media, record, *offset)) << record;
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

// NTFS: the files copied in give what the folder's give. A small file's
// content is resident in its MFT entry and has no place of its own in the
// image; a large file's findings lie where image_offset says.
TEST_F(DiskImageTest, NtfsFilesGiveWhatTheFolderGives) {
  const std::map<std::string, std::string> folder = FolderLines({});
  std::map<std::string, std::string> expected;
  for (const char* name : kNtfsFiles) {
    if (folder.contains(name)) {
      expected[name] = folder.at(name);
    }
  }
  const ScannerRun run = RunScanner({"--image", ntfs_});
  EXPECT_EQ(run.status, 0) << run.err;
  std::map<std::string, std::string> found = LinesByFile(run.out, ntfs_ + "::p0");
  // The file system's own files ($MFT holds the resident content again).
  std::erase_if(found, [](const auto& file) { return file.first.starts_with("/$"); });
  EXPECT_EQ(found, expected);

  std::size_t located = 0;
  for (const std::string& record :
       Lines(Records(RunScanner({"--json", "--image", ntfs_}).out, {"finding"}))) {
    const std::optional<std::uint64_t> offset = NumberMember(record, "image_offset");
    if (record.find(R"("fs_path":"/notes.txt")") != std::string::npos) {
      EXPECT_FALSE(offset) << record;
    } else if (record.find(R"("fs_path":"/large.bin")") != std::string::npos) {
      ASSERT_TRUE(offset) << record;
      EXPECT_TRUE(MarkerLiesAt(ntfs_, record, *offset)) << record;
      ++located;
    }
  }
  EXPECT_EQ(located,
            std::count(expected["/large.bin"].begin(), expected["/large.bin"].end(), '\n'));
}

// A marker across two clusters that do not follow each other in the image is
// found in the file, placed at its first byte, and is not in the image's
// own bytes there.
TEST_F(DiskImageTest, AMarkerAcrossTwoFragmentsIsFoundInTheFileOnly) {
  const ScannerRun run = RunScanner({"--json", "--image", fragmented_});
  EXPECT_EQ(run.status, 0) << run.err;
  const std::vector<std::string> findings = Lines(Records(run.out, {"finding"}));
  ASSERT_EQ(findings.size(), 1U) << run.out;
  EXPECT_NE(findings[0].find(R"("fs_path":"/split.txt")"), std::string::npos) << findings[0];
  EXPECT_NE(findings[0].find(R"("position":511,)"), std::string::npos) << findings[0];
  const std::optional<std::uint64_t> offset = NumberMember(findings[0], "image_offset");
  ASSERT_TRUE(offset) << findings[0];
  EXPECT_EQ(BytesAt(fragmented_, *offset, 2), "CD");
  EXPECT_NE(BytesAt(fragmented_, *offset, 3), "CDN");
  EXPECT_EQ(RunScanner({fragmented_}).out, "");
}

// Bytes no file system lists are scanned where they lie: the space before
// the first partition and after the last, and a partition holding no file
// system, which is a failure of its own as well.
TEST_F(DiskImageTest, BytesOutsideEveryFileSystemAreScanned) {
  std::string image = ReadAll(parts_);
  constexpr std::size_t kBeforeFirst = 4000;
  constexpr std::size_t kInThird = 9437184 + 1000;
  constexpr std::size_t kAfterLast = 13631488 + 5;
  for (const std::size_t at : {kBeforeFirst, kInThird, kAfterLast}) {
    image.replace(at, 3, "CDN");
  }
  const std::string marked = dir_->Write("marked.img", image);
  const ScannerRun run = RunScanner({"--image", marked});
  EXPECT_EQ(run.status, 2) << run.err;
  for (const std::string& line :
       {marked + "::@0-1048576:4001:Hiderman", marked + "::p3@9437184-13631488:1001:Hiderman",
        marked + "::@13631488-14680064:6:Hiderman"}) {
    EXPECT_NE(run.out.find(line + '\n'), std::string::npos) << line << '\n' << run.out;
  }
  EXPECT_NE(run.err.find(marked + "::p3: no file system"), std::string::npos) << run.err;
}

// Each image is described as it is opened, before its files: the E01 by
// its disk's size and the MD5 its acquisition stored, the raw image by its
// size alone. --verify: the E01 as made matches its stored MD5; with one byte of a file
// altered it does not, nor can a raw image, which stores none. Each failure
// names its image, and the images' files are scanned all the same.
TEST_F(DiskImageTest, VerifyChecksTheStoredHash) {
  const std::string md5_file = Utf8Of(dir_->path() / "ext4.md5");
  RunTool({"sh", "-c", R"(md5sum <"$1" | cut -c1-32 | tr -d '\n' >"$2")", "sh", ext4_, md5_file});
  const std::string size = std::to_string(fs::file_size(ext4_));
  const std::vector<std::string> described =
      Lines(Records(RunScanner({"--json", "--image", e01_, ext4_}).out, {"image"}));
  ASSERT_EQ(described.size(), 2U);
  EXPECT_NE(described[0].find(R"("format":"e01","size":)" + size + R"(,"stored_md5":")" +
                              ReadAll(md5_file) + R"(","verified":false)"),
            std::string::npos)
      << described[0];
  EXPECT_NE(described[1].find(R"("format":"raw","size":)" + size +
                              R"(,"stored_md5":null,"verified":false)"),
            std::string::npos)
      << described[1];

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

// A cut E01, a missing image and a named pipe each give an error record
// naming them, and the image after them is scanned, whether named as paths
// or in a list.
TEST_F(DiskImageTest, DamagedImagesFailAndTheScanGoesOn) {
  const std::string missing = Utf8Of(dir_->path() / "missing.img");
  // Opening a named pipe would wait for a writer that never comes.
  const std::string pipe = Utf8Of(dir_->path() / "pipe.img");
  if (!fs::exists(pipe)) {
    RunTool({"mkfifo", pipe});
  }
  // The images named on the command line, and in a list.
  const std::string list =
      dir_->Write("images.txt", cut_e01_ + '\n' + missing + '\n' + pipe + '\n' + ext4_ + '\n');
  for (const std::vector<std::string>& images :
       {std::vector<std::string>{cut_e01_, missing, pipe, ext4_},
        std::vector<std::string>{"--files-from", list}}) {
    std::vector<std::string> args{"--json", "--image"};
    args.insert(args.end(), images.begin(), images.end());
    const ScannerRun run = RunScanner(args);
    EXPECT_EQ(run.status, 2) << run.err;
    const std::string errors = Records(run.out, {"error"});
    std::string cut_path = R"("path":")";
    cut_path += cut_e01_;
    std::string missing_path = R"("path":")";
    missing_path += missing;
    // The system's own reason, as for a file given without --image.
    missing_path +=
        R"(","image":")" + missing + R"(","error":"No such file or directory","errno":2})";
    EXPECT_NE(errors.find(cut_path), std::string::npos) << errors;
    std::string pipe_error = R"("path":")";
    pipe_error += pipe;
    pipe_error += R"(","image":")";
    pipe_error += pipe;
    pipe_error += R"(","error":"Is a named pipe, not a regular file")";
    EXPECT_NE(errors.find(pipe_error), std::string::npos) << errors;
    EXPECT_NE(errors.find(missing_path), std::string::npos) << errors;
    std::string ext4_file = R"("path":")";
    ext4_file += ext4_;
    ext4_file += R"(::p0/notes.txt")";
    EXPECT_NE(Records(run.out, {"file"}).find(ext4_file), std::string::npos) << images.back();
  }
}

}  // namespace
}  // namespace telltale::cli::testing
