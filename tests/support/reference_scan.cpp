// SPDX-License-Identifier: Apache-2.0
#include "reference_scan.h"

namespace telltale {
namespace {

unsigned char ToLowerAscii(unsigned char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c | 0x20U) : c;
}

bool SameUnder(unsigned char a, unsigned char b, Comparison comparison) {
  return comparison == Comparison::kIgnoreCase ? ToLowerAscii(a) == ToLowerAscii(b) : a == b;
}

}  // namespace

bool MatchesAt(Bytes content, std::size_t offset, std::string_view marker, Comparison comparison) {
  if (offset > content.size() || content.size() - offset < marker.size()) {
    return false;
  }
  for (std::size_t k = 0; k < marker.size(); ++k) {
    if (!SameUnder(content[offset + k], static_cast<unsigned char>(marker[k]), comparison)) {
      return false;
    }
  }
  return true;
}

std::size_t FindMarkerReference(Bytes content, std::string_view marker, std::size_t start,
                                Comparison comparison) {
  for (std::size_t p = start; p < content.size(); ++p) {
    if (MatchesAt(content, p, marker, comparison)) {
      return p;
    }
  }
  return kNotFound;
}

void ScanContentReference(Bytes content, const FindingCallback& on_finding) {
  for (const SignatureRule& rule : kSignatureTable) {
    std::size_t p = FindMarkerReference(content, rule.marker, 0, rule.first_search);
    while (p != kNotFound) {
      on_finding(ScanFinding{&rule, p + 1});
      p = FindMarkerReference(content, rule.marker, p + 1, rule.later_searches);
    }
  }
}

}  // namespace telltale
