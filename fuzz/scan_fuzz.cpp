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

// With two slots the next chunk is written before the current one is
// scanned, as a reader running ahead does.
std::vector<ScanFinding> Chunked(const std::vector<unsigned char>& bytes, std::size_t chunk,
                                 std::size_t slots) {
  telltale::ChunkScanner scanner(chunk, slots);
  std::vector<ScanFinding> later;
  std::vector<ScanFinding> found;
  std::size_t offset = 0;
  const auto fill = [&](std::size_t slot) {
    const auto buffer = scanner.Buffer(slot);
    const std::size_t count = std::min(buffer.size(), bytes.size() - offset);
    if (count > 0) {  // an empty vector's data() may be null
      std::memcpy(buffer.data(), bytes.data() + offset, count);
      offset += count;
    }
    return count;
  };
  std::size_t slot = 0;
  for (std::size_t count = fill(slot); count > 0;) {
    const std::size_t next_slot = (slot + 1) % slots;
    const std::size_t next_count = slots > 1 ? fill(next_slot) : 0;
    scanner.Scan(
        count,
        [&](const ScanFinding& f) {
          (f.rule == &telltale::kSignatureTable[0] ? found : later).push_back(f);
        },
        slot);
    slot = next_slot;
    count = slots > 1 ? next_count : fill(slot);
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
  for (const std::size_t slots : {1, 2}) {
    const std::vector<ScanFinding> chunked = Chunked(bytes, chunk, slots);
    if (chunked != want) {
      Mismatch(slots == 1 ? "chunked" : "chunked in two slots", chunked, want);
    }
  }
  return 0;
}
