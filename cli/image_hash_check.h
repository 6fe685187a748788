// SPDX-License-Identifier: Apache-2.0
// A disk image's data checked against the hash its format stores.
#pragma once

#include <string>

namespace telltale::cli {

struct ImageHashCheck {
  std::string algorithm;  // "md5"
  std::string stored;     // as the image states it, lower-case hexadecimal
  std::string computed;   // of every byte of the image's data, read now
};

}  // namespace telltale::cli
