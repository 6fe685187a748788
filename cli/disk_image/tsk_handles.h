// SPDX-License-Identifier: Apache-2.0
// The Sleuth Kit's image and file system handles, shared by the walk and the
// files it hands out, and its failures as std::system_error.
#pragma once

#include <tsk/libtsk.h>

#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace telltale::cli {

// An image open read-only. TSK gives no promise that one file system may be
// used from several threads, so every call on the image or on anything
// opened in it holds `mutex`: reads are taken one at a time, the scans of
// what they read run side by side.
struct TskImage {
  explicit TskImage(TSK_IMG_INFO* info) : info(info) {}
  ~TskImage() { tsk_img_close(info); }
  TskImage(const TskImage&) = delete;
  TskImage& operator=(const TskImage&) = delete;

  TSK_IMG_INFO* info;
  std::mutex mutex;
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

// The failure TSK recorded on this thread, named after `name` ("IMAGE::p1",
// "IMAGE::p1/dir/file"): "NAME: WHAT: TSK'S MESSAGE", with EIO. TSK's
// message is cleared.
std::system_error TskError(std::string_view name, std::string_view what);

}  // namespace telltale::cli
