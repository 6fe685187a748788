// SPDX-License-Identifier: Apache-2.0
// A file inside a disk image, read through TSK at any offset: from its
// blocks where they hold all of it as it reads, else through the file
// system.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/disk_image/tsk_handles.h"
#include "cli/image_place.h"
#include "telltale/scan_source.h"

namespace telltale::cli {

class TskFileSource final : public ScanSource {
 public:
  // Takes `file`, closed with the source. `blocks`, where given, are where
  // every byte of its content lies in the image, in file order with no gap
  // from its first byte to its size.
  TskFileSource(std::shared_ptr<TskFileSystem> file_system, TSK_FS_FILE* file, std::string name,
                std::optional<std::vector<ImageRun>> blocks);
  ~TskFileSource() override;
  TskFileSource(const TskFileSource&) = delete;
  TskFileSource& operator=(const TskFileSource&) = delete;

  [[nodiscard]] const std::string& name() const override { return name_; }
  [[nodiscard]] std::optional<std::uint64_t> size() const override { return size_; }
  [[nodiscard]] bool CanReadAgain() const override { return true; }
  std::size_t Read(std::uint64_t offset, std::span<unsigned char> buffer) override;

 private:
  std::shared_ptr<TskFileSystem> file_system_;
  TSK_FS_FILE* file_;
  std::string name_;
  std::uint64_t size_;
  std::optional<std::vector<ImageRun>> blocks_;

  // Reads `into` from `offset`, within the file's size, from its blocks.
  std::size_t ReadBlocks(std::uint64_t offset, std::span<unsigned char> into);
};

}  // namespace telltale::cli
