#include "cli/input_scan.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "cli/held_positions.h"
#include "detection/chunk_scanner.h"
#include "detection/scan_error.h"

namespace telltale::cli {
namespace {

std::size_t RuleIndex(const ScanFinding& finding) {
  return static_cast<std::size_t>(finding.rule - kSignatureTable.data());
}

void ScanAll(const ChunkReader& read, std::size_t chunk_size, const FindingCallback& route,
             const ChunkDone& on_chunk) {
  ChunkScanner scanner(chunk_size);
  for (;;) {
    const std::size_t count = read(scanner.Buffer());
    if (count == 0) {
      return;
    }
    scanner.Scan(count, route);
    on_chunk(count);
  }
}

}  // namespace

ChunkReader FileChunks(const ScanFile& file) {
  return [&file, offset = std::uint64_t{0}](std::span<unsigned char> buffer) mutable {
    const auto wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), file.size() - offset));
    const std::size_t got = file.ReadAt(offset, buffer.data(), wanted);
    if (got < wanted) {
      ThrowScanError(ScanErrc::kFileShrank, file.path());
    }
    offset += got;
    return got;
  };
}

ChunkReader DescriptorChunks(int fd, std::string name) {
  return [fd, name = std::move(name)](std::span<unsigned char> buffer) {
    return ReadStream(fd, buffer.data(), buffer.size(), name);
  };
}

FindingCounts ScanInReportOrder(const ChunkReader& read, std::size_t chunk_size,
                                const std::string& name, const FindingCallback& on_finding,
                                const ChunkDone& on_chunk) {
  // One store per later rule; the first rule's findings go straight out.
  std::vector<std::unique_ptr<HeldPositions>> held;
  for (std::size_t r = 1; r < kSignatureTable.size(); ++r) {
    held.push_back(std::make_unique<HeldPositions>(name));
  }
  FindingCounts counts{};
  ScanAll(
      read, chunk_size,
      [&](const ScanFinding& finding) {
        const std::size_t rule = RuleIndex(finding);
        ++counts[rule];
        if (rule == 0) {
          on_finding(finding);
        } else {
          held[rule - 1]->Add(finding.position);
        }
      },
      on_chunk);
  for (std::size_t r = 1; r < kSignatureTable.size(); ++r) {
    held[r - 1]->Replay([&](Position position) {
      on_finding(ScanFinding{&kSignatureTable[r], position});
    });
  }
  return counts;
}

FindingCounts CountFindings(const ChunkReader& read, std::size_t chunk_size,
                            const ChunkDone& on_chunk) {
  FindingCounts counts{};
  ScanAll(
      read, chunk_size, [&](const ScanFinding& finding) { ++counts[RuleIndex(finding)]; },
      on_chunk);
  return counts;
}

}  // namespace telltale::cli
