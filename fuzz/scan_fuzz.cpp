// Differential fuzzing: the fast scan, the chunked scan and the plain scan
// must give the same findings on any bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "detection/chunk_scanner.h"
#include "detection/scan_content.h"

namespace {

using telltale::ScanFinding;

// Random bytes rarely spell a marker, so most inputs are first mapped onto
// the bytes that matter: case mixes of "cdn", 0xFF and 0xDB, and a filler.
std::vector<unsigned char> Shape(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return {};
  }
  const std::uint8_t mode = data[0];
  std::vector<unsigned char> bytes(data + 1, data + size);
  if (mode % 4 != 0) {
    static constexpr unsigned char kAlphabet[] = {'c', 'd', 'n', 'C', 'D', 'N', 0xFF, 0xDB, 'x', 0};
    for (unsigned char& b : bytes) {
      b = kAlphabet[b % sizeof kAlphabet];
    }
  }
  return bytes;
}

std::vector<ScanFinding> Chunked(const std::vector<unsigned char>& bytes, std::size_t chunk) {
  telltale::ChunkScanner scanner(chunk);
  std::vector<ScanFinding> later;
  std::vector<ScanFinding> found;
  for (std::size_t offset = 0; offset < bytes.size();) {
    const auto buffer = scanner.Buffer();
    const std::size_t count = std::min(buffer.size(), bytes.size() - offset);
    std::memcpy(buffer.data(), bytes.data() + offset, count);
    scanner.Scan(count, [&](const ScanFinding& f) {
      (f.rule == &telltale::kSignatureTable[0] ? found : later).push_back(f);
    });
    offset += count;
  }
  found.insert(found.end(), later.begin(), later.end());
  return found;
}

[[noreturn]] void Mismatch(const char* which, const std::vector<ScanFinding>& got,
                           const std::vector<ScanFinding>& want) {
  std::fprintf(stderr, "%s scan differs: %zu findings, the plain scan %zu\n", which, got.size(),
               want.size());
  for (std::size_t i = 0; i < got.size() || i < want.size(); ++i) {
    const auto show = [](const std::vector<ScanFinding>& v, std::size_t k) {
      return k < v.size() ? std::string(v[k].rule->tool) + "@" + std::to_string(v[k].position)
                          : std::string("-");
    };
    std::fprintf(stderr, "  %s | %s\n", show(got, i).c_str(), show(want, i).c_str());
  }
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<unsigned char> bytes = Shape(data, size);
  const telltale::Bytes content(bytes.data(), bytes.size());

  std::vector<ScanFinding> want;
  telltale::ScanContentReference(content, [&](const ScanFinding& f) { want.push_back(f); });

  const std::vector<ScanFinding> fast = telltale::ScanContent(content);
  if (fast != want) {
    Mismatch("fast", fast, want);
  }
  const std::size_t chunk = size > 0 ? 1 + data[0] % 70 : 1;
  const std::vector<ScanFinding> chunked = Chunked(bytes, chunk);
  if (chunked != want) {
    Mismatch("chunked", chunked, want);
  }
  return 0;
}
