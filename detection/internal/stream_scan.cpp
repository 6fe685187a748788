// SPDX-License-Identifier: Apache-2.0
// A stream's scan: one pass, each chunk after the last bytes of the one
// before.
#include <algorithm>
#include <cstring>
#include <optional>

#include "internal/chunk_buffer.h"
#include "internal/held_positions.h"
#include "internal/rule_scan.h"
#include "internal/scan_pass.h"

namespace telltale {

// The second rule is scanned along with the first; in report order its
// findings are held back until the stream's end.
void ScanStream(ScanPass& pass, FindingOrder order, std::size_t chunk, std::size_t held_in_memory) {
  ScanSource& source = pass.source();
  std::optional<HeldPositions> held;
  if (order == FindingOrder::kReport) {
    held.emplace(source.name(), held_in_memory);
  }
  const FindingCallback hold = [&](const ScanFinding& f) {
    pass.CountHeld(*f.rule);
    held->Add(f.position);
  };
  const ChunkBuffer buffer(chunk + kCarry);
  unsigned char* const data = buffer.data();
  std::uint64_t offset = 0;  // stream offset of data[0]
  std::size_t carried = 0;   // bytes just before data[0], from the chunk before
  std::uint64_t next_start = 0;
  bool first_found = false;
  bool second_found = false;
  for (bool end = false; !end;) {
    pass.ThrowIfStopped();
    const std::size_t got = source.Read(offset, {data, chunk});
    pass.PassOn({data, got});
    pass.Progress(got);
    end = got < chunk;
    const Bytes view(data - carried, carried + got);
    const std::uint64_t base = offset - carried;
    const std::uint64_t view_end = offset + got;
    // Starts whose marker may run into the next chunk wait for it.
    const std::uint64_t stop =
        end ? view_end
            : std::max(next_start, view_end - std::min<std::uint64_t>(view.size(), kCarry));
    pass.ForEachBlock(next_start, stop,
                      [&](std::uint64_t, std::uint64_t start, std::uint64_t until) {
                        const auto from = static_cast<std::size_t>(start - base);
                        const auto to = static_cast<std::size_t>(until - base);
                        if (ScanFirstRuleRange(view, from, to, base, first_found, pass.report())) {
                          ScanRuleRange(view, kSecondRule, from, to, base, second_found,
                                        held ? hold : pass.report());
                        }
                      });
    next_start = std::max(next_start, stop);
    carried = std::min(view.size(), kCarry);
    std::memmove(data - carried, view.data() + view.size() - carried, carried);
    offset = view_end;
  }
  pass.Ended();
  if (held) {
    held->Replay([&](Position p) { pass.HandOnHeld(ScanFinding{&kSecondRule, p}); });
  }
}

}  // namespace telltale
