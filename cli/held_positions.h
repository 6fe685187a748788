// Positions held back until an input has been read to its end.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "detection/scan_content.h"

namespace telltale::cli {

// Keeps up to kHeldPositionsInMemory positions in memory and writes the rest
// to an unnamed temporary file, so that a file made of nothing but markers
// costs disk, not memory. Positions come back in the order they were added.
class HeldPositions {
 public:
  // `input` names what is being scanned, for the messages of failures.
  explicit HeldPositions(std::string input) : input_(std::move(input)) {}
  ~HeldPositions();
  HeldPositions(const HeldPositions&) = delete;
  HeldPositions& operator=(const HeldPositions&) = delete;

  // Both throw std::system_error when the temporary file fails.
  void Add(Position position);
  // Hands every position to `use`, oldest first, and forgets them.
  void Replay(const std::function<void(Position)>& use);

 private:
  void Spill();

  std::string input_;
  std::vector<Position> recent_;  // not yet spilled
  int spill_fd_ = -1;             // the temporary file, once needed
  std::uint64_t spilled_ = 0;     // positions in it
};

}  // namespace telltale::cli
