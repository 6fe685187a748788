// SPDX-License-Identifier: Apache-2.0
#include "window/common/progress_text.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <string_view>

namespace telltale {
namespace {

constexpr std::array<std::string_view, 6> kUnits{"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
constexpr double kUnit = 1024.0;

// "1234567.5" as "1,234,567.5": the separator Qt's English and C locales put
// between thousands.
std::string Grouped(std::string number) {
  const std::size_t point = number.find('.');
  const std::size_t whole = point == std::string::npos ? number.size() : point;
  for (std::size_t at = whole; at > 3; at -= 3) {
    number.insert(at - 3, 1, ',');
  }
  return number;
}

std::string Plural(long long count, std::string_view word) {
  std::string text = std::to_string(count) + " ";
  text += word;
  if (count != 1) {
    text += 's';
  }
  return text;
}

}  // namespace

std::string DataSizeText(std::uint64_t bytes) {
  if (bytes < 1024) {
    return Grouped(std::to_string(bytes)) + " bytes";
  }
  // The unit is the largest power of 1024 not above the count, as Qt picks it.
  const auto power = static_cast<std::size_t>((std::bit_width(bytes) - 1) / 10);
  const auto shift = static_cast<unsigned>(10 * power);
  const std::uint64_t whole = bytes >> shift;
  const std::uint64_t rest = bytes & ((std::uint64_t{1} << shift) - 1);
  // Tenths of the unit, rounded half up as Qt rounds. Worked in integers:
  // a double holds a count past 2^53 inexactly. rest * 10 stays below 2^64.
  const std::uint64_t tenths =
      whole * 10 + ((rest * 10 + (std::uint64_t{1} << (shift - 1))) >> shift);
  std::string text = Grouped(std::to_string(tenths / 10)) + "." + std::to_string(tenths % 10);
  text += ' ';
  text += kUnits.at(power - 1);
  return text;
}

std::string RateText(double bytes_per_second) {
  if (!(bytes_per_second >= 0.0)) {
    bytes_per_second = 0.0;
  }
  if (bytes_per_second < kUnit) {
    return Grouped(std::to_string(std::llround(bytes_per_second))) + " bytes/s";
  }
  double value = bytes_per_second / kUnit;
  std::size_t unit = 0;
  while (value >= kUnit && unit + 1 < kUnits.size()) {
    value /= kUnit;
    ++unit;
  }
  std::array<char, 32> digits{};
  const std::to_chars_result written =
      std::to_chars(digits.data(), digits.data() + digits.size(), value, std::chars_format::fixed,
                    value < 10.0 ? 1 : 0);
  std::string text = Grouped(std::string(digits.data(), written.ptr)) + " ";
  text += kUnits.at(unit);
  return text + "/s";
}

std::string TimeLeftText(std::chrono::duration<double> left) {
  constexpr double kMinute = 60.0;
  constexpr double kHour = 60.0 * kMinute;
  const double seconds = left.count();
  if (!(seconds < 100 * kHour)) {
    return "more than 100 hours left";
  }
  const long long fives = std::llround(seconds / 5) * 5;
  if (fives < 10) {
    return "a few seconds left";
  }
  std::string amount;
  if (fives < 60) {
    amount = Plural(fives, "second");
  } else if (const long long minutes = std::llround(seconds / kMinute); minutes < 60) {
    amount = Plural(minutes, "minute");
  } else {
    // Hours, and the minutes to the nearest five.
    const long long rounded = std::llround(seconds / (5 * kMinute)) * 5;
    amount = Plural(rounded / 60, "hour");
    if (rounded % 60 != 0) {
      amount += ' ';
      amount += Plural(rounded % 60, "minute");
    }
  }
  std::string text = "about ";
  text += amount;
  text += " left";
  return text;
}

std::string ProgressStatusText(const ScanProgress& progress,
                               std::optional<double> bytes_per_second) {
  std::string text = DataSizeText(progress.done) + " of " + DataSizeText(progress.total);
  if (!bytes_per_second) {
    return text;
  }
  text += ", " + RateText(*bytes_per_second);
  if (progress.total > 0 && *bytes_per_second > 0.0) {
    const std::uint64_t left = progress.total > progress.done ? progress.total - progress.done : 0;
    text +=
        ", " +
        TimeLeftText(std::chrono::duration<double>(static_cast<double>(left) / *bytes_per_second));
  }
  return text;
}

}  // namespace telltale
