// SPDX-License-Identifier: Apache-2.0
#include "cli/image_place.h"

namespace telltale::cli {

std::string ImagePlace::Name() const {
  std::string name = image;
  if (partition) {
    name += "::p";
    name += std::to_string(partition->index);
    name += path;
  }
  return name;
}

}  // namespace telltale::cli
