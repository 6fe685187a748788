// SPDX-License-Identifier: Apache-2.0
// Where a Run writes its texts: each call replaces the whole text.
#pragma once

#include <string_view>

namespace telltale {

class ResultsSink {
 public:
  virtual ~ResultsSink() = default;
  // `text` is bytes: ASCII, plus the path exactly as it was given.
  // The view is only valid for the duration of the call.
  virtual void SetText(std::string_view text) = 0;

 protected:
  ResultsSink() = default;
  ResultsSink(const ResultsSink&) = default;
  ResultsSink& operator=(const ResultsSink&) = default;
};

}  // namespace telltale
