// SPDX-License-Identifier: Apache-2.0
// Differential fuzzing: the fast scan, the streamed scan and the plain scan
// must give the same findings on any bytes, the streamed scan with any chunk
// and block sizes, from a file or a pipe, in either order.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "memory_source.h"
#include "reference_scan.h"
#include "telltale/scan_content.h"
#include "telltale/scan_input.h"

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

std::vector<ScanFinding> Streamed(const std::vector<unsigned char>& bytes, bool file,
                                  telltale::FindingOrder order, const telltale::ScanSizes& sizes) {
  telltale::testing::MemorySource source(
      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), file);
  std::vector<ScanFinding> later;
  std::vector<ScanFinding> found;
  telltale::ScanInput(
      source, order,
      [&](const ScanFinding& f) {
        (f.rule == &telltale::kSignatureTable[0] ? found : later).push_back(f);
      },
      {}, sizes);
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
  // The first byte also picks the streamed scan's sizes and kind of input;
  // its findings are put in report order by rule before comparing.
  const std::uint8_t pick = size > 0 ? data[0] : 0;
  const telltale::ScanSizes sizes{1U + pick % 70U, 1U + (pick / 4U) % 40U, 16};
  const bool file = (pick & 0x40U) != 0;
  const auto order =
      (pick & 0x80U) != 0 ? telltale::FindingOrder::kReport : telltale::FindingOrder::kAsFound;
  const std::vector<ScanFinding> streamed = Streamed(bytes, file, order, sizes);
  if (streamed != want) {
    Mismatch("streamed", streamed, want);
  }
  return 0;
}
