// SPDX-License-Identifier: Apache-2.0
// The words of a Run's progress, the same in both windows:
// "1.1 GiB of 64.0 GiB, 450 MiB/s, about 2 minutes left".
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "telltale/telltale.h"

namespace telltale {

// A byte count as Qt's QLocale::formattedDataSize(bytes, 1) writes it in the
// C and English locales: "512 bytes", "1,023 bytes", then IEC units with one
// decimal, rounded half up: "1.3 KiB" (1280 bytes), "120.5 MiB",
// "1,024.0 KiB" (1048575 bytes).
std::string DataSizeText(std::uint64_t bytes);

// A rate in the same units, with one decimal below 10 and none from there:
// "9.5 MiB/s", "450 MiB/s", "1.1 GiB/s", "0 bytes/s".
std::string RateText(double bytes_per_second);

// The time left, rounded as a person would say it: "a few seconds left"
// (under 7.5 s), "about 40 seconds left" (to 5 s), "about 2 minutes left" (to
// the minute, from 57.5 s), "about 1 hour 5 minutes left" (to 5 minutes, from
// 59.5 minutes), and "more than 100 hours left".
std::string TimeLeftText(std::chrono::duration<double> left);

// "120.5 MiB of 2.0 GiB"; then, once the rate is known, ", 450 MiB/s"; then,
// where the total is known and the rate is not 0, the time left.
std::string ProgressStatusText(const ScanProgress& progress,
                               std::optional<double> bytes_per_second);

}  // namespace telltale
