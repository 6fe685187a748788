// SPDX-License-Identifier: Apache-2.0
#include "structure/region_list.h"

#include <algorithm>
#include <string>

namespace telltale {

std::uint32_t RegionList::LabelId(std::string_view context, bool explained) {
  const auto found = ids_.find(std::pair{std::string(context), explained});
  if (found != ids_.end()) {
    return found->second;
  }
  const auto id = static_cast<std::uint32_t>(label_texts_.size());
  label_texts_.push_back({std::string(context), explained});
  ids_.emplace(std::pair{std::string(context), explained}, id);
  return id;
}

void RegionList::Mark(std::uint64_t start, std::string_view context, bool explained) {
  if (full_) {
    return;
  }
  if (!starts_.empty() && starts_.back() == start) {
    // A region of no bytes gives way to the one that starts where it did.
    starts_.pop_back();
    labels_.pop_back();
  }
  const std::uint32_t id = LabelId(context, explained);
  if (!labels_.empty() && labels_.back() == id) {
    return;
  }
  if (starts_.size() + 1 == kMaxRegions) {
    full_ = true;
    context = {};
    const std::string stopped = "at or after offset " + std::to_string(start) +
                                ", where the walk stops: more parts than it follows";
    starts_.push_back(start);
    labels_.push_back(LabelId(stopped, false));
    return;
  }
  starts_.push_back(start);
  labels_.push_back(id);
}

FindingPlace RegionList::At(std::uint64_t offset) const {
  const auto after = std::upper_bound(starts_.begin(), starts_.end(), offset);
  if (after == starts_.begin()) {
    return {};
  }
  const Label& label = label_texts_[labels_[static_cast<std::size_t>(after - starts_.begin() - 1)]];
  return {label.context, label.explained};
}

std::string BreakContext(std::string_view format, std::uint64_t offset) {
  std::string text = "at or after offset ";
  text += std::to_string(offset);
  text += ", where the ";
  text += format;
  text += " structure breaks";
  return text;
}

}  // namespace telltale
