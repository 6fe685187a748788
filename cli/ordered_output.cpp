// SPDX-License-Identifier: Apache-2.0
#include "cli/ordered_output.h"

#include "cli/output_sizes.h"
#include "telltale/telltale.h"

namespace telltale::cli {

OrderedOutput::OrderedOutput(Console& console, std::size_t held_limit)
    : console_(console), held_limit_(held_limit) {}

void OrderedOutput::Write(std::size_t input, Stream stream, std::string_view text) {
  std::unique_lock lock(turns_.mutex());
  if (turns_.stopped()) {
    return;  // standard output failed: nothing more is printed
  }
  if (turns_.IsTurnOf(input)) {
    PrintLocked(stream, text);
    return;
  }
  std::vector<Part>& parts = HeldFor(input).parts;
  if (!parts.empty() && parts.back().stream == stream) {
    parts.back().text += text;
  } else {
    parts.push_back(Part{stream, std::string(text)});
  }
  held_bytes_ += text.size();
  WaitForRoom(lock, input);
}

void OrderedOutput::Finish(std::size_t input) {
  std::unique_lock lock(turns_.mutex());
  if (turns_.stopped()) {
    return;
  }
  if (turns_.IsTurnOf(input)) {
    turns_.Next();
    AdvanceLocked();
    return;
  }
  HeldFor(input).finished = true;
  WaitForRoom(lock, input);
}

OrderedOutput::Held& OrderedOutput::HeldFor(std::size_t input) {
  const auto [it, added] = held_.try_emplace(input);
  if (added) {
    held_bytes_ += kHeldOutputChargePerInput;
  }
  return it->second;
}

void OrderedOutput::WaitForRoom(std::unique_lock<std::mutex>& lock, std::size_t input) {
  turns_.WaitForTurnOr(lock, input, [&] { return held_bytes_ <= held_limit_; });
}

void OrderedOutput::PrintLocked(Stream stream, std::string_view text) {
  const bool failed_before = console_.failed();
  console_.Write(stream, text);
  if (!failed_before && console_.failed()) {
    turns_.Stop();  // nothing more will be printed: let every job go
  }
}

void OrderedOutput::AdvanceLocked() {
  for (auto it = held_.find(turns_.turn()); it != held_.end(); it = held_.find(turns_.turn())) {
    for (const Part& part : it->second.parts) {
      PrintLocked(part.stream, part.text);
      held_bytes_ -= part.text.size();
    }
    held_bytes_ -= kHeldOutputChargePerInput;
    const bool finished = it->second.finished;
    held_.erase(it);
    if (!finished) {
      turns_.Changed();  // its job now prints directly, and room was made
      return;
    }
    turns_.Next();
  }
}

}  // namespace telltale::cli
