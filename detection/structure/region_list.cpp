// SPDX-License-Identifier: Apache-2.0
#include "structure/region_list.h"

#include <algorithm>
#include <functional>
#include <string>

namespace telltale {
namespace {

// Room for the regions of an ordinary photo, thumbnail and all, in one
// allocation.
constexpr std::size_t kFirstRegions = 64;

// The texts of an ordinary photo's places fit in one block.
constexpr std::size_t kTextBlockSize = 1024;

}  // namespace

std::uint32_t RegionList::LabelId(std::string_view context, bool explained) {
  const auto matches = [&](std::size_t id) {
    const Label& label = label_list_[id];
    return label.explained == explained && label.text == context;
  };
  const std::size_t hash = std::hash<std::string_view>{}(context);
  if (label_list_.size() <= kLabelsLookedUpInTurn) {
    for (std::size_t id = label_list_.size(); id-- > 0;) {  // the newest first
      if (matches(id)) {
        return static_cast<std::uint32_t>(id);
      }
    }
  } else {
    const auto [first, last] = index_.equal_range(hash);
    for (auto it = first; it != last; ++it) {
      if (matches(it->second)) {
        return it->second;
      }
    }
  }
  const auto id = static_cast<std::uint32_t>(label_list_.size());
  label_list_.push_back({Keep(context), explained});
  if (label_list_.size() == kLabelsLookedUpInTurn + 1) {
    for (std::uint32_t earlier = 0; earlier < id; ++earlier) {
      index_.emplace(std::hash<std::string_view>{}(label_list_[earlier].text), earlier);
    }
  }
  if (label_list_.size() > kLabelsLookedUpInTurn) {
    index_.emplace(hash, id);
  }
  return id;
}

std::string_view RegionList::Keep(std::string_view text) {
  if (text.size() > block_left_.size()) {
    const std::size_t size = std::max(kTextBlockSize, text.size());
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(size));
    block_left_ = {blocks_.back().get(), size};
  }
  std::copy(text.begin(), text.end(), block_left_.begin());
  const std::string_view kept(block_left_.data(), text.size());
  block_left_ = block_left_.subspan(text.size());
  return kept;
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
  if (starts_.empty()) {
    starts_.reserve(kFirstRegions);
    labels_.reserve(kFirstRegions);
  }
  starts_.push_back(start);
  labels_.push_back(id);
}

FindingPlace RegionList::At(std::uint64_t offset) const {
  const auto after = std::upper_bound(starts_.begin(), starts_.end(), offset);
  if (after == starts_.begin()) {
    return {};
  }
  const Label& label = label_list_[labels_[static_cast<std::size_t>(after - starts_.begin() - 1)]];
  return {label.text, label.explained};
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
