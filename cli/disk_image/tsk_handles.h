// SPDX-License-Identifier: Apache-2.0
// The Sleuth Kit's image and file system handles, shared by the walk and the
// files it hands out, and its failures as std::system_error.
#pragma once

#include <tsk/libtsk.h>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace telltale::cli {

// An image open read-only. TSK gives no promise that one file system may be
// used from several threads, so every call on `info` or on anything opened
// through it holds `mutex`. Reads of the media at known offsets (a file's
// blocks, unallocated runs) go through handles of their own instead, one per
// reading thread, so that they run side by side.
class TskImage {
 public:
  // Takes `info`, opened from `path` as `type`.
  TskImage(TSK_IMG_INFO* info, std::string path, TSK_IMG_TYPE_ENUM type)
      : info(info), path_(std::move(path)), type_(type) {}
  ~TskImage();
  TskImage(const TskImage&) = delete;
  TskImage& operator=(const TskImage&) = delete;

  // Reads the media's bytes from `offset` into `into`, all of them unless
  // the media ends first; returns how many. Throws std::system_error naming
  // `name` where they cannot be read.
  std::size_t ReadMedia(std::uint64_t offset, std::span<unsigned char> into, std::string_view name);

  TSK_IMG_INFO* const info;
  std::mutex mutex;

 private:
  // A handle no thread is reading through, opened for it where there is
  // none; the shared `info` where no more can be opened.
  TSK_IMG_INFO* TakeReader();
  void GiveBack(TSK_IMG_INFO* reader);

  const std::string path_;
  const TSK_IMG_TYPE_ENUM type_;
  std::mutex readers_mutex_;
  std::condition_variable reader_free_;
  std::vector<TSK_IMG_INFO*> free_readers_;
  std::size_t readers_open_ = 0;
};

// A file system open in an image, which it keeps open.
struct TskFileSystem {
  TskFileSystem(std::shared_ptr<TskImage> image, TSK_FS_INFO* info)
      : image(std::move(image)), info(info) {}
  ~TskFileSystem() {
    const std::lock_guard lock(image->mutex);
    tsk_fs_close(info);
  }
  TskFileSystem(const TskFileSystem&) = delete;
  TskFileSystem& operator=(const TskFileSystem&) = delete;

  std::shared_ptr<TskImage> image;
  TSK_FS_INFO* info;
};

// Opens the image at `path` as `type` read-only, one opening at a time in
// the process: libewf's opening reads the time zone and other state of the
// process, which it does not guard. Null where TSK cannot open it.
TSK_IMG_INFO* OpenTskImage(const std::string& path, TSK_IMG_TYPE_ENUM type);

// The failure TSK recorded on this thread, named after `name` ("IMAGE::p1",
// "IMAGE::p1/dir/file"): "NAME: WHAT: TSK'S MESSAGE", with EIO. TSK's
// message is cleared.
std::system_error TskError(std::string_view name, std::string_view what);

}  // namespace telltale::cli
