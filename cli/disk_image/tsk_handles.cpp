// SPDX-License-Identifier: Apache-2.0
#include "cli/disk_image/tsk_handles.h"

#include <algorithm>
#include <cerrno>

namespace telltale::cli {
namespace {

// Reading handles of one image at most: each holds a descriptor for every
// segment of the image and, for an E01, a cache of its chunks. More threads
// than this wait for one.
constexpr std::size_t kMaxReaders = 8;

}  // namespace

TSK_IMG_INFO* OpenTskImage(const std::string& path, TSK_IMG_TYPE_ENUM type) {
  static std::mutex opening;
  const std::lock_guard lock(opening);
  const char* names[] = {path.c_str()};
  // One name: TSK finds the further segments of a split raw or E01 image.
  return tsk_img_open_utf8(1, names, type, 0);
}

std::system_error TskError(std::string_view name, std::string_view what) {
  std::string message(name);
  message += ": ";
  message += what;
  const char* tsk_message = tsk_error_get();
  if (tsk_message != nullptr && *tsk_message != '\0') {
    message += ": ";
    message += tsk_message;
    // TSK ends some messages with a newline.
    while (message.back() == '\n' || message.back() == ' ') {
      message.pop_back();
    }
  }
  tsk_error_reset();
  return {EIO, std::generic_category(), message};
}

TskImage::~TskImage() {
  for (TSK_IMG_INFO* reader : free_readers_) {
    tsk_img_close(reader);
  }
  tsk_img_close(info);
}

TSK_IMG_INFO* TskImage::TakeReader() {
  std::unique_lock lock(readers_mutex_);
  if (free_readers_.empty() && readers_open_ < kMaxReaders) {
    ++readers_open_;
    lock.unlock();
    TSK_IMG_INFO* reader = OpenTskImage(path_, type_);
    if (reader == nullptr) {
      tsk_error_reset();
      lock.lock();
      --readers_open_;
      return info;  // no more descriptors, or the like: the shared handle reads
    }
    return reader;
  }
  reader_free_.wait(lock, [&] { return !free_readers_.empty(); });
  TSK_IMG_INFO* reader = free_readers_.back();
  free_readers_.pop_back();
  return reader;
}

void TskImage::GiveBack(TSK_IMG_INFO* reader) {
  {
    const std::lock_guard lock(readers_mutex_);
    free_readers_.push_back(reader);
  }
  reader_free_.notify_one();
}

std::size_t TskImage::ReadMedia(std::uint64_t offset, std::span<unsigned char> into,
                                std::string_view name) {
  const auto media_size = static_cast<std::uint64_t>(info->size);
  if (offset >= media_size) {
    return 0;
  }
  into = into.first(
      static_cast<std::size_t>(std::min<std::uint64_t>(into.size(), media_size - offset)));
  TSK_IMG_INFO* const reader = TakeReader();
  std::unique_lock<std::mutex> shared;
  if (reader == info) {
    shared = std::unique_lock(mutex);
  }
  std::size_t done = 0;
  try {
    while (done < into.size()) {
      // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast): TSK reads into char
      char* to = reinterpret_cast<char*>(into.data() + done);
      const ssize_t got =
          tsk_img_read(reader, static_cast<TSK_OFF_T>(offset + done), to, into.size() - done);
      if (got < 0) {
        throw TskError(name, "cannot read the image");
      }
      if (got == 0) {
        break;
      }
      done += static_cast<std::size_t>(got);
    }
  } catch (...) {
    if (reader != info) {
      GiveBack(reader);
    }
    throw;
  }
  if (reader != info) {
    GiveBack(reader);
  }
  return done;
}

}  // namespace telltale::cli
