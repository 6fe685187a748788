// SPDX-License-Identifier: Apache-2.0
// The walk of disk images through The Sleuth Kit: images in turn, their
// partitions in the volume system's order, each file system's directories
// depth first in the order TSK lists them, one directory per level open.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <deque>
#include <string_view>
#include <unordered_set>
#include <utility>

#include "cli/disk_image/image_walk.h"
#include "cli/disk_image/tsk_file_source.h"
#include "cli/disk_image/tsk_handles.h"
#include "cli/disk_image/tsk_image_description.h"
#include "cli/disk_image/tsk_run_source.h"
#include "telltale/scan_error.h"

namespace telltale::cli {
namespace {

// Deeper directories than this are a loop a damaged file system made, or
// nothing a person made.
constexpr std::size_t kMaxDepth = 512;

struct PartitionToOpen {
  ImagePlace::Partition partition;
  TSK_OFF_T offset = 0;
  std::uint64_t length = 0;  // in bytes, within the image
};

// Bytes of the image that no file system lists, to be scanned as they lie:
// in a partition, or in none.
struct BytesToScan {
  std::optional<ImagePlace::Partition> partition;
  ImageRun run;
};

struct OpenDirectory {
  TSK_FS_DIR* dir;
  std::string path;  // "" for the root
  TSK_INUM_T address;
  std::size_t next = 0;  // the entry to look at next
};

bool Unallocated(const TSK_FS_FILE& file) {
  return (file.name != nullptr && (file.name->flags & TSK_FS_NAME_FLAG_UNALLOC) != 0) ||
         (file.meta->flags & TSK_FS_META_FLAG_UNALLOC) != 0;
}

// TSK lists a FAT volume's label as an empty regular file of this name.
bool FatVolumeLabel(const TSK_FS_INFO& fs, const TSK_FS_FILE& file) {
  constexpr std::string_view kLabel = "(Volume Label Entry)";
  return TSK_FS_TYPE_ISFAT(fs.ftype) && file.meta->size == 0 &&
         std::string_view(file.name->name).ends_with(kLabel);
}

// E01 where the file starts with its signature, else raw (or split raw).
// Only these are tried: TSK's own detection also tries VMDK and VHD, whose
// libraries leave what they allocated behind when they refuse an image.
// Throws std::system_error with the system's reason where the file cannot be
// read, which says more than the library's wording of it.
TSK_IMG_TYPE_ENUM ImageType(const std::string& name) {
  constexpr std::string_view kEwfSignature("EVF\x09\x0D\x0A\xFF\x00", 8);
  // Not blocking: a named pipe would wait for a writer.
  const int fd = open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    throw std::system_error(errno, std::generic_category(), name);
  }
  // An image is read at any offset: a file or a block device.
  struct stat status {};
  std::error_code refused;
  if (fstat(fd, &status) != 0) {
    refused = {errno, std::generic_category()};
  } else if (S_ISDIR(status.st_mode)) {
    refused = std::make_error_code(std::errc::is_a_directory);
  } else if (S_ISFIFO(status.st_mode)) {
    refused = make_error_code(ScanErrc::kNamedPipe);
  } else if (S_ISCHR(status.st_mode)) {
    refused = make_error_code(ScanErrc::kCharacterDevice);
  } else if (!S_ISREG(status.st_mode) && !S_ISBLK(status.st_mode)) {
    refused = make_error_code(ScanErrc::kNotAFile);
  }
  if (refused) {
    close(fd);
    throw std::system_error(refused, name);
  }
  std::array<char, kEwfSignature.size()> start{};
  ssize_t got = 0;
  do {
    got = read(fd, start.data(), start.size());
  } while (got < 0 && errno == EINTR);
  const int error = errno;
  close(fd);
  if (got < 0) {
    throw std::system_error(error, std::generic_category(), name);
  }
  return std::string_view(start.data(), static_cast<std::size_t>(got)) == kEwfSignature
             ? TSK_IMG_TYPE_EWF_EWF
             : TSK_IMG_TYPE_RAW;
}

// A deleted name whose metadata entry was given to another file since: its
// content is that file's, found under its own name.
bool Reused(const TSK_FS_FILE& file) {
  return file.name != nullptr && (file.name->flags & TSK_FS_NAME_FLAG_UNALLOC) != 0 &&
         (file.meta->flags & TSK_FS_META_FLAG_ALLOC) != 0;
}

// Where the default data of `file` lies in the image, run by run, where it
// is stored in blocks as it reads.
struct DataBlocks {
  std::optional<std::vector<ImageRun>> runs;
  // Whether the runs hold every byte the file system would read, from the
  // first to the size, with nothing read as zeros in between (sparse runs,
  // or NTFS data past its initialised size): then they may be read instead.
  bool whole = false;
};

DataBlocks DataRuns(const TSK_FS_INFO& fs, TSK_FS_FILE& file) {
  const TSK_FS_ATTR* attr = tsk_fs_file_attr_get(&file);
  if (attr == nullptr) {
    tsk_error_reset();  // the read will say what is wrong, if anything
    return {};
  }
  if ((attr->flags & TSK_FS_ATTR_NONRES) == 0 ||
      (attr->flags & (TSK_FS_ATTR_COMP | TSK_FS_ATTR_ENC)) != 0 || attr->nrd.skiplen != 0) {
    return {};
  }
  const std::uint64_t block = fs.block_size;
  std::vector<ImageRun> runs;
  bool gaps = false;
  for (const TSK_FS_ATTR_RUN* run = attr->nrd.run; run != nullptr; run = run->next) {
    constexpr int kNoData =
        TSK_FS_ATTR_RUN_FLAG_FILLER | TSK_FS_ATTR_RUN_FLAG_SPARSE | TSK_FS_ATTR_RUN_FLAG_ENCRYPTED;
    if (run->len == 0 || (run->flags & kNoData) != 0) {
      gaps = gaps || run->len != 0;
      continue;
    }
    runs.push_back(
        ImageRun{.file_offset = run->offset * block,
                 .image_offset = static_cast<std::uint64_t>(fs.offset) + run->addr * block,
                 .length = run->len * block});
  }
  std::sort(runs.begin(), runs.end(),
            [](const ImageRun& a, const ImageRun& b) { return a.file_offset < b.file_offset; });
  std::uint64_t covered = 0;
  for (const ImageRun& run : runs) {
    gaps = gaps || run.file_offset != covered;
    covered = run.file_offset + run.length;
  }
  const auto size = static_cast<std::uint64_t>(std::max<TSK_OFF_T>(attr->size, 0));
  const bool whole = !gaps && covered >= size && attr->nrd.initsize >= attr->size;
  return {.runs = std::move(runs), .whole = whole};
}

class TskImageWalk final : public ImageWalk {
 public:
  TskImageWalk(InputWalk images, ImageWalkOptions options)
      : images_(std::move(images)), options_(options) {}

  ~TskImageWalk() override { CloseDirectories(); }
  TskImageWalk(const TskImageWalk&) = delete;
  TskImageWalk& operator=(const TskImageWalk&) = delete;

  std::optional<ImageEntry> Next() override {
    for (;;) {
      if (!directories_.empty()) {
        if (std::optional<ImageEntry> entry = NextInDirectory()) {
          return entry;
        }
        continue;
      }
      if (run_cursor_) {
        if (std::optional<ImageEntry> entry = NextUnallocatedRun()) {
          return entry;
        }
        continue;
      }
      file_system_.reset();
      if (unread_partition_) {
        return BytesEntry(*std::exchange(unread_partition_, std::nullopt));
      }
      if (!partitions_.empty()) {
        if (std::optional<ImageEntry> failure = OpenPartition()) {
          return failure;
        }
        continue;
      }
      if (!outside_partitions_.empty()) {
        const BytesToScan next = outside_partitions_.front();
        outside_partitions_.pop_front();
        return BytesEntry(next);
      }
      image_.reset();
      std::optional<Input> next = images_.Next();
      if (!next) {
        return std::nullopt;
      }
      image_name_ = std::move(next->path);
      if (next->failure) {  // a list of images that could not be read
        return Failure(ImageOnly(), *next->failure);
      }
      return OpenImage();
    }
  }

 private:
  [[nodiscard]] ImagePlace ImageOnly() const {
    ImagePlace place;
    place.image = image_name_;
    return place;
  }
  [[nodiscard]] ImagePlace PartitionPlace() const {
    ImagePlace place = ImageOnly();
    place.partition = partition_;
    return place;
  }

  static ImageEntry Failure(ImagePlace place, const std::system_error& error) {
    return ImageEntry{.place = std::move(place), .source = nullptr, .failure = error, .image = {}};
  }

  // Opens the image `image_name_` and lists its partitions; returns its
  // failure, or what it is.
  ImageEntry OpenImage() {
    TSK_IMG_TYPE_ENUM type = TSK_IMG_TYPE_RAW;
    try {
      type = ImageType(image_name_);
    } catch (const std::system_error& e) {
      return Failure(ImageOnly(), e);
    }
    TSK_IMG_INFO* info = OpenTskImage(image_name_, type);
    if (info == nullptr) {
      return Failure(ImageOnly(), TskError(image_name_, "cannot open the disk image"));
    }
    image_ = std::make_shared<TskImage>(info, image_name_, type);
    const auto image_size = static_cast<std::uint64_t>(info->size);
    TSK_VS_INFO* vs = tsk_vs_open(info, 0, TSK_VS_TYPE_DETECT);
    if (vs != nullptr) {
      unsigned index = 0;
      for (TSK_PNUM_T i = 0; i < vs->part_count; ++i) {
        const TSK_VS_PART_INFO* part = tsk_vs_part_get(vs, i);
        if (part == nullptr) {
          continue;
        }
        const std::uint64_t start = static_cast<std::uint64_t>(vs->offset) +
                                    part->start * static_cast<std::uint64_t>(vs->block_size);
        if (start >= image_size) {
          continue;  // a table may describe more disk than was acquired
        }
        const std::uint64_t length =
            std::min<std::uint64_t>(part->len * vs->block_size, image_size - start);
        if ((part->flags & TSK_VS_PART_FLAG_ALLOC) != 0) {
          partitions_.push_back(PartitionToOpen{.partition = {.index = ++index, .offset = start},
                                                .offset = static_cast<TSK_OFF_T>(start),
                                                .length = length});
        } else {
          AddOutsidePartitions(start, length);  // the tables, and the gaps between partitions
        }
      }
      tsk_vs_close(vs);
    }
    tsk_error_reset();  // no volume system is no failure: the image is one file system
    if (partitions_.empty()) {
      partitions_.push_back(PartitionToOpen{.partition = {}, .offset = 0, .length = image_size});
    }
    // A failed check is the image's failure; its files are scanned all the
    // same, each finding being still where it is.
    try {
      return ImageEntry{.place = ImageOnly(),
                        .source = nullptr,
                        .failure = std::nullopt,
                        .image = DescribeImage(*image_, image_name_, options_.verify)};
    } catch (const std::system_error& e) {
      return Failure(ImageOnly(), e);
    }
  }

  // Opens the next partition's file system and its root; returns its failure.
  std::optional<ImageEntry> OpenPartition() {
    const PartitionToOpen next = partitions_.front();
    partitions_.pop_front();
    partition_ = next.partition;
    const std::lock_guard lock(image_->mutex);
    TSK_FS_INFO* info = tsk_fs_open_img(image_->info, next.offset, TSK_FS_TYPE_DETECT);
    if (info == nullptr) {
      // Its bytes are scanned as they lie, so that what it holds is found
      // all the same, only not in a file.
      if (next.length > 0) {
        unread_partition_ = BytesToScan{
            .partition = partition_,
            .run = {
                .file_offset = 0, .image_offset = next.partition.offset, .length = next.length}};
      }
      return Failure(PartitionPlace(),
                     TskError(PartitionPlace().Name(), "no file system The Sleuth Kit can read"));
    }
    file_system_ = std::make_shared<TskFileSystem>(image_, info);
    visited_.clear();
    run_cursor_ = info->first_block;
    return OpenDirectoryAt(info->root_inum, "");
  }

  // Opens the directory at `address` under the path `path`; returns its
  // failure.
  std::optional<ImageEntry> OpenDirectoryAt(TSK_INUM_T address, std::string path) {
    TSK_FS_DIR* dir = tsk_fs_dir_open_meta(file_system_->info, address);
    if (dir == nullptr) {
      ImagePlace place = PartitionPlace();
      place.path = path.empty() ? "/" : path;
      place.meta_address = address;
      return Failure(place, TskError(place.Name(), "cannot read the directory"));
    }
    visited_.insert(address);
    directories_.push_back(OpenDirectory{.dir = dir, .path = std::move(path), .address = address});
    return std::nullopt;
  }

  // The next file or failure of the innermost open directory, having gone
  // down into the directories met; none where there is nothing to report yet.
  std::optional<ImageEntry> NextInDirectory() {
    const std::lock_guard lock(image_->mutex);
    OpenDirectory& top = directories_.back();
    if (top.next >= tsk_fs_dir_getsize(top.dir)) {
      tsk_fs_dir_close(top.dir);
      directories_.pop_back();
      return std::nullopt;
    }
    TSK_FS_FILE* file = tsk_fs_dir_get(top.dir, top.next++);
    if (file == nullptr) {
      tsk_error_reset();
      return std::nullopt;
    }
    std::unique_ptr<TSK_FS_FILE, decltype(&tsk_fs_file_close)> owned(file, &tsk_fs_file_close);
    const char* name = file->name != nullptr ? file->name->name : nullptr;
    if (file->meta == nullptr || name == nullptr || std::strcmp(name, ".") == 0 ||
        std::strcmp(name, "..") == 0 || Reused(*file)) {
      return std::nullopt;  // a deleted name whose metadata is gone says nothing of content
    }
    std::string path = top.path;
    path += '/';
    path += name;
    if (TSK_FS_IS_DIR_META(file->meta->type)) {
      const TSK_INUM_T address = file->meta->addr;
      if (directories_.size() < kMaxDepth && !visited_.contains(address)) {
        std::optional<ImageEntry> failure = OpenDirectoryAt(address, std::move(path));
        // A deleted directory's entries are often gone: only a live one's
        // failure is the file system's.
        if (failure && Unallocated(*file)) {
          return std::nullopt;
        }
        return failure;
      }
      return std::nullopt;
    }
    if (file->meta->type != TSK_FS_META_TYPE_REG || FatVolumeLabel(*file_system_->info, *file)) {
      return std::nullopt;
    }
    ImagePlace place = PartitionPlace();
    place.path = std::move(path);
    place.meta_address = file->meta->addr;
    place.allocated = !Unallocated(*file);
    DataBlocks blocks = DataRuns(*file_system_->info, *file);
    place.runs = blocks.runs;
    std::string source_name = place.Name();
    return ImageEntry{.place = std::move(place),
                      .source = std::make_unique<TskFileSource>(
                          file_system_, owned.release(), std::move(source_name),
                          blocks.whole ? std::move(blocks.runs) : std::nullopt),
                      .failure = std::nullopt,
                      .image = std::nullopt};
  }

  // The next run of consecutive unallocated blocks from the cursor, found
  // with a block walk that stops at the first block after it, so that no
  // list of runs is held; none where no run is left.
  std::optional<ImageEntry> NextUnallocatedRun() {
    struct Run {
      std::optional<TSK_DADDR_T> start;
      TSK_DADDR_T end = 0;
    } run;
    const auto extend = [](const TSK_FS_BLOCK* block, void* found) {
      Run& r = *static_cast<Run*>(found);
      if (!r.start) {
        r.start = block->addr;
      } else if (block->addr != r.end) {
        return TSK_WALK_STOP;
      }
      r.end = block->addr + 1;
      return TSK_WALK_CONT;
    };
    const std::lock_guard lock(image_->mutex);
    TSK_FS_INFO* fs = file_system_->info;
    const TSK_DADDR_T last = std::min(fs->last_block, fs->last_block_act);
    const TSK_DADDR_T from = *run_cursor_;
    run_cursor_.reset();
    if (from > last) {
      return std::nullopt;
    }
    constexpr auto kFlags = static_cast<TSK_FS_BLOCK_WALK_FLAG_ENUM>(
        TSK_FS_BLOCK_WALK_FLAG_UNALLOC | TSK_FS_BLOCK_WALK_FLAG_AONLY);
    if (tsk_fs_block_walk(fs, from, last, kFlags, extend, &run) != 0) {
      return Failure(PartitionPlace(),
                     TskError(PartitionPlace().Name(), "cannot walk the unallocated blocks"));
    }
    if (!run.start) {
      return std::nullopt;
    }
    run_cursor_ = run.end;
    return BytesEntry(BytesToScan{.partition = partition_,
                                  .run = {.file_offset = 0,
                                          .image_offset = static_cast<std::uint64_t>(fs->offset) +
                                                          *run.start * fs->block_size,
                                          .length = (run.end - *run.start) * fs->block_size}});
  }

  // Bytes no file holds, as an input of their own.
  [[nodiscard]] ImageEntry BytesEntry(const BytesToScan& bytes) const {
    ImagePlace place = ImageOnly();
    place.partition = bytes.partition;
    place.unallocated = bytes.run;
    place.runs = std::vector<ImageRun>{bytes.run};
    std::string name = place.Name();
    return ImageEntry{.place = std::move(place),
                      .source = std::make_unique<TskRunSource>(image_, bytes.run.image_offset,
                                                               bytes.run.length, std::move(name)),
                      .failure = std::nullopt,
                      .image = std::nullopt};
  }

  // Adds the `length` bytes at `start`, outside every partition, to those
  // scanned after the partitions: one run where they follow the last.
  void AddOutsidePartitions(std::uint64_t start, std::uint64_t length) {
    if (!outside_partitions_.empty()) {
      ImageRun& last = outside_partitions_.back().run;
      if (last.image_offset + last.length == start) {
        last.length += length;
        return;
      }
    }
    outside_partitions_.push_back(
        BytesToScan{.partition = std::nullopt,
                    .run = {.file_offset = 0, .image_offset = start, .length = length}});
  }

  void CloseDirectories() {
    if (image_) {
      const std::lock_guard lock(image_->mutex);
      for (const OpenDirectory& open : directories_) {
        tsk_fs_dir_close(open.dir);
      }
    }
    directories_.clear();
  }

  InputWalk images_;
  ImageWalkOptions options_;
  // Where the search for the next unallocated run starts; none when there is
  // none to look for.
  std::optional<TSK_DADDR_T> run_cursor_;
  std::string image_name_;
  std::shared_ptr<TskImage> image_;
  std::deque<PartitionToOpen> partitions_;
  // A partition no file system was found in, scanned next as it lies.
  std::optional<BytesToScan> unread_partition_;
  // The image's bytes in no partition, scanned after the partitions.
  std::deque<BytesToScan> outside_partitions_;
  ImagePlace::Partition partition_;
  std::shared_ptr<TskFileSystem> file_system_;
  std::vector<OpenDirectory> directories_;
  // The directories of this file system gone into, so that a name pointing
  // back up, or two names of one directory, are followed once.
  std::unordered_set<TSK_INUM_T> visited_;
};

}  // namespace

std::unique_ptr<ImageWalk> WalkImages(InputWalk&& images, ImageWalkOptions options) {
  return std::make_unique<TskImageWalk>(std::move(images), options);
}

}  // namespace telltale::cli
