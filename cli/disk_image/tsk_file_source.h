// SPDX-License-Identifier: Apache-2.0
// A file inside a disk image, read through TSK at any offset.
#pragma once

#include <memory>
#include <string>

#include "cli/disk_image/tsk_handles.h"
#include "telltale/scan_source.h"

namespace telltale::cli {

class TskFileSource final : public ScanSource {
 public:
  // Takes `file`, closed with the source.
  TskFileSource(std::shared_ptr<TskFileSystem> file_system, TSK_FS_FILE* file, std::string name);
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
};

}  // namespace telltale::cli
