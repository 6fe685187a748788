// SPDX-License-Identifier: Apache-2.0
// A sink that keeps what a results box would show: the last text set.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "telltale/results_sink.h"

namespace telltale {

class LastTextSink : public ResultsSink {
 public:
  void SetText(std::string_view text) override {
    text_.assign(text);
    ++texts_set_;
  }

  [[nodiscard]] const std::string& text() const { return text_; }
  // A Run sets the selection report first, then one text per finding.
  [[nodiscard]] std::size_t texts_set() const { return texts_set_; }

 private:
  std::string text_;
  std::size_t texts_set_ = 0;
};

}  // namespace telltale
