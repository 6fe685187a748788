// SPDX-License-Identifier: Apache-2.0
// Differential fuzzing: the fast scan, the streamed scan and the plain scan
// must give the same findings on any bytes, the streamed scan with any chunk
// and block sizes, from a file or a pipe, in either order. The structure walk
// beside the streamed scan must change none of its findings, and must place
// each of them as a walk over the whole input in one piece does.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "memory_source.h"
#include "reference_scan.h"
#include "telltale/placed_scan.h"
#include "telltale/scan_content.h"
#include "telltale/scan_input.h"
#include "telltale/structure_walk.h"

namespace {

using telltale::ScanFinding;

// Random bytes rarely spell a marker, so most inputs are first mapped onto
// the bytes that matter: case mixes of "cdn", 0xFF and 0xDB, and a filler;
// or, for the structure walk, a JPEG's start and the bytes of its markers
// and short lengths.
std::vector<unsigned char> Shape(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return {};
  }
  const std::uint8_t mode = data[0];
  std::vector<unsigned char> bytes(data + 1, data + size);
  if (mode % 4 == 1) {
    static constexpr unsigned char kJpegAlphabet[] = {0xFF, 0xFF, 0xDB, 0xD8, 0xD9, 0xDA, 0xE1,
                                                      0xE2, 0xD0, 0x00, 0x00, 0x02, 0x03, 0x04,
                                                      'C',  'D',  'N',  'E',  'x',  'M'};
    for (unsigned char& b : bytes) {
      b = kJpegAlphabet[b % sizeof kJpegAlphabet];
    }
    bytes.insert(bytes.begin(), {0xFF, 0xD8, 0xFF});
  } else if (mode % 4 != 0) {
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

// The streamed scan as found, with and without the walk beside it: the same
// findings in the same order, each placed as the whole input's walk places it.
void CheckPlaced(const std::vector<unsigned char>& bytes, bool file, telltale::FindingOrder order,
                 const telltale::ScanSizes& sizes) {
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  std::vector<ScanFinding> plain;
  telltale::testing::MemorySource plain_source(text, file);
  telltale::ScanInput(
      plain_source, order, [&](const ScanFinding& f) { plain.push_back(f); }, {}, sizes);

  telltale::StructureWalk whole;
  whole.Feed(bytes);
  whole.Finish();
  std::vector<ScanFinding> placed;
  telltale::testing::MemorySource source(text, file);
  telltale::WalkOutcome outcome;
  telltale::ScanInputPlaced(
      source, order,
      [&](const ScanFinding& f, const telltale::FindingPlace& place) {
        const telltale::FindingPlace want = whole.PlaceOf(f.position - 1);
        if (place.context != want.context || place.explained != want.explained) {
          std::fprintf(stderr, "%s@%llu placed \"%.*s\" in chunks, \"%.*s\" whole\n",
                       std::string(f.rule->tool).c_str(),
                       static_cast<unsigned long long>(f.position),
                       static_cast<int>(place.context.size()), place.context.data(),
                       static_cast<int>(want.context.size()), want.context.data());
          std::abort();
        }
        placed.push_back(f);
      },
      outcome, {}, sizes);
  if (placed != plain) {
    Mismatch("placed", placed, plain);
  }
  const telltale::WalkOutcome want = whole.outcome();
  if (outcome.format != want.format || outcome.appended != want.appended ||
      outcome.broken_at != want.broken_at) {
    std::fprintf(stderr, "the walk in chunks ends otherwise than the walk of the whole\n");
    std::abort();
  }
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
  CheckPlaced(bytes, file, order, sizes);
  return 0;
}
