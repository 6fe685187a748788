// SPDX-License-Identifier: Apache-2.0
#include "test_support.h"

#include <fstream>
#include <random>
#include <stdexcept>
#include <system_error>

namespace telltale::testing {

std::vector<std::string> Describe(const std::vector<ScanFinding>& findings) {
  std::vector<std::string> out;
  out.reserve(findings.size());
  for (const ScanFinding& f : findings) {
    out.push_back(std::string(f.rule->tool) + "@" + std::to_string(f.position));
  }
  return out;
}

std::string RandomText(std::size_t size, std::string_view alphabet, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::uniform_int_distribution<int> any(0, 255);
  std::string text(size, '\0');
  for (char& c : text) {
    // One byte in sixteen is arbitrary, so every byte value turns up.
    c = random() % 16 == 0 ? static_cast<char>(any(random)) : alphabet[pick(random)];
  }
  return text;
}

std::filesystem::path PathFromUtf8(std::string_view path) {
  return {std::u8string(path.begin(), path.end())};
}

std::string Utf8Of(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return {text.begin(), text.end()};
}

TempDir::TempDir() {
  // A name nobody has taken: create_directory says whether it made it.
  std::random_device seed;
  std::mt19937_64 random(seed());
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::filesystem::path candidate = base / ("telltale-test-" + std::to_string(random()));
    if (std::filesystem::create_directory(candidate)) {
      std::filesystem::permissions(candidate, std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::replace);
      path_ = std::move(candidate);
      return;
    }
  }
  throw std::runtime_error("cannot make a temporary directory");
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::Write(const std::string& name, std::string_view content) const {
  const std::filesystem::path file = path_ / PathFromUtf8(name);
  std::ofstream out(file, std::ios::binary);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!out) {
    throw std::runtime_error("cannot write " + Utf8Of(file));
  }
  return Utf8Of(file);
}

}  // namespace telltale::testing
