// SPDX-License-Identifier: Apache-2.0
// Helpers shared by the test suites: byte buffers, random content and
// temporary files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "telltale/marker_search.h"
#include "telltale/results_sink.h"
#include "telltale/scan_content.h"

namespace telltale::testing {

inline Bytes AsBytes(std::string_view text) {
  return {reinterpret_cast<const unsigned char*>(text.data()), text.size()};
}

// "JPHide@1" style descriptions, so that a failing comparison reads well.
std::vector<std::string> Describe(const std::vector<ScanFinding>& findings);

// Random bytes drawn mostly from `alphabet`, seeded for repeatability.
std::string RandomText(std::size_t size, std::string_view alphabet, std::uint32_t seed);

// Paths as the programs take them, UTF-8 bytes, to and from std::filesystem.
// On Windows, path's own std::string conversions use the ANSI code page.
std::filesystem::path PathFromUtf8(std::string_view path);
std::string Utf8Of(const std::filesystem::path& path);

// A directory removed with everything in it when the test ends. Write takes
// a UTF-8 name and returns the file's UTF-8 path.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  [[nodiscard]] const std::filesystem::path& path() const { return path_; }
  std::string Write(const std::string& name, std::string_view content) const;

 private:
  std::filesystem::path path_;
};

// Keeps every text it is given.
class RecordingSink : public ResultsSink {
 public:
  void SetText(std::string_view text) override { texts.emplace_back(text); }
  std::vector<std::string> texts;
};

}  // namespace telltale::testing
