// SPDX-License-Identifier: Apache-2.0
#include "telltale/scan_source.h"

#include "telltale/platform/descriptor_io.h"

namespace telltale {

std::size_t StreamSource::Read(std::uint64_t /*offset*/, std::span<unsigned char> buffer) {
  return ReadFully(fd_, buffer, name_);
}

}  // namespace telltale
