// SPDX-License-Identifier: Apache-2.0
// Output of inputs scanned at the same time, printed as if one at a time.
#pragma once

#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "cli/console.h"
#include "telltale/turn_order.h"

namespace telltale::cli {

// Inputs are numbered 0, 1, 2, ... in the order their output must appear.
// The lowest unfinished input's output goes straight to the console; later
// inputs' output is held, up to `held_limit` bytes in all, and a job that
// would hold more waits until its input's turn comes. The job printing has
// never to wait, so the batch always moves on.
class OrderedOutput {
 public:
  OrderedOutput(Console& console, std::size_t held_limit);

  void Write(std::size_t input, Stream stream, std::string_view text);
  // Every input is finished exactly once, after its last Write.
  void Finish(std::size_t input);

 private:
  struct Part {
    Stream stream;
    std::string text;
  };
  struct Held {
    std::vector<Part> parts;
    bool finished = false;
  };

  Held& HeldFor(std::size_t input);
  void WaitForRoom(std::unique_lock<std::mutex>& lock, std::size_t input);
  void PrintLocked(Stream stream, std::string_view text);
  void AdvanceLocked();

  Console& console_;
  const std::size_t held_limit_;
  // The input whose turn it is has its output printed as it comes.
  TurnOrder turns_;
  std::map<std::size_t, Held> held_;
  std::size_t held_bytes_ = 0;  // text held, plus a charge per held input
};

}  // namespace telltale::cli
