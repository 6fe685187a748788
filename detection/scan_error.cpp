// SPDX-License-Identifier: Apache-2.0
#include "telltale/scan_error.h"

#include <string>

namespace telltale {
namespace {

class ScanErrorCategory final : public std::error_category {
 public:
  [[nodiscard]] const char* name() const noexcept override { return "telltale"; }

  [[nodiscard]] std::string message(int value) const override {
    switch (static_cast<ScanErrc>(value)) {
      case ScanErrc::kNamedPipe:
        return "Is a named pipe, not a regular file";
      case ScanErrc::kSocket:
        return "Is a socket, not a regular file";
      case ScanErrc::kCharacterDevice:
        return "Is a character device, not a regular file";
      case ScanErrc::kNotAFile:
        return "Is not a regular file";
      case ScanErrc::kFileShrank:
        return "File shrank while it was being read";
      case ScanErrc::kFileChanged:
        return "File changed while it was being read";
      case ScanErrc::kDirectoryMoved:
        return "Directory moved while it was being walked";
    }
    return "Unknown error " + std::to_string(value);
  }
};

}  // namespace

const std::error_category& ScanCategory() {
  static const ScanErrorCategory category;
  return category;
}

}  // namespace telltale
