// SPDX-License-Identifier: Apache-2.0
#include <exception>
#include <filesystem>
#include <system_error>

#include "window/common/is_folder.h"

namespace telltale {

bool IsFolder(const std::string& path) {
  try {
    std::error_code error;
    return std::filesystem::is_directory(std::filesystem::path(path), error);
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace telltale
