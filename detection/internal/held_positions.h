// SPDX-License-Identifier: Apache-2.0
// Positions held back until an input that cannot be read twice has been read
// to its end. Private to the detection library.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "telltale/scan_content.h"

namespace telltale {

// Positions must come in increasing order. Each is kept as its distance from
// the one before, seven bits a byte, so that a marker's worth of input costs
// about a byte. Up to `memory_bytes` are kept in memory and the rest go to an
// unnamed temporary file in $TMPDIR, which therefore stays well under the
// input's own size.
class HeldPositions {
 public:
  // `input` names what is being scanned, for the messages of failures.
  HeldPositions(std::string input, std::size_t memory_bytes);
  ~HeldPositions();
  HeldPositions(const HeldPositions&) = delete;
  HeldPositions& operator=(const HeldPositions&) = delete;

  // Both throw std::system_error when the temporary file fails.
  void Add(Position position);
  // Hands every position to `use`, oldest first, and forgets them.
  void Replay(const std::function<void(Position)>& use);

 private:
  void Spill();
  [[nodiscard]] std::string FileRole() const;

  std::string input_;
  std::size_t memory_bytes_;
  std::vector<unsigned char> encoded_;  // not yet spilled
  Position last_ = 0;
  int spill_fd_ = -1;          // the temporary file, once needed
  std::uint64_t spilled_ = 0;  // bytes in it
};

}  // namespace telltale
