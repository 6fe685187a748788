// SPDX-License-Identifier: Apache-2.0
#include "cli/progress_line.h"

#include <array>
#include <chrono>
#include <iomanip>
#include <sstream>
#include <string>
#include <system_error>

namespace telltale::cli {
namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kFirstDraw = std::chrono::seconds(1);
constexpr auto kRedraw = std::chrono::milliseconds(250);

std::string HumanBytes(double bytes) {
  constexpr std::array<const char*, 5> kUnits = {"B", "KiB", "MiB", "GiB", "TiB"};
  std::size_t unit = 0;
  while (bytes >= 1024 && unit + 1 < kUnits.size()) {
    bytes /= 1024;
    ++unit;
  }
  std::ostringstream text;
  text << std::fixed << std::setprecision(unit == 0 ? 0 : 1) << bytes << ' ' << kUnits[unit];
  return text.str();
}

}  // namespace

ProgressLine::ProgressLine(Console& console, bool enabled) : console_(console) {
  if (!enabled) {
    return;
  }
  try {
    drawer_ = std::jthread([this](const std::stop_token& stop) { Draw(stop); });
  } catch (const std::system_error&) {
    // No thread to be had: the scan goes on without a progress line.
  }
}

ProgressLine::~ProgressLine() {
  if (drawer_.joinable()) {
    drawer_.request_stop();
    drawer_.join();
    console_.ClearStatus();
  }
}

void ProgressLine::Draw(const std::stop_token& stop) {
  const Clock::time_point start = Clock::now();
  std::unique_lock lock(mutex_);
  // Only stop ends the waits early: there is nothing else to wait for.
  wake_.wait_for(lock, stop, kFirstDraw, [] { return false; });
  while (!stop.stop_requested()) {
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const auto done = static_cast<double>(done_.load(std::memory_order_relaxed));
    const std::uint64_t total = total_.load(std::memory_order_relaxed);
    const std::uint64_t inputs = inputs_.load(std::memory_order_relaxed);
    std::string line = "telltale-scan: " + HumanBytes(done);
    if (total > 0 && static_cast<double>(total) >= done) {
      line += " of " + HumanBytes(static_cast<double>(total));
    }
    line += ", " + std::to_string(inputs) + (inputs == 1 ? " file" : " files") + " done, " +
            HumanBytes(done / seconds) + "/s";
    console_.ShowStatus(line);
    wake_.wait_for(lock, stop, kRedraw, [] { return false; });
  }
}

}  // namespace telltale::cli
