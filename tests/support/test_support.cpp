#include "test_support.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <stdexcept>

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

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "telltale-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("cannot make a temporary directory");
  }
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::Write(const std::string& name, std::string_view content) const {
  std::string file = (path_ / name).string();
  std::ofstream out(file, std::ios::binary);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!out) {
    throw std::runtime_error("cannot write " + file);
  }
  return file;
}

}  // namespace telltale::testing
