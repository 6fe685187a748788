// SPDX-License-Identifier: Apache-2.0
#include "cli/json_text.h"

#include <array>
#include <charconv>
#include <cstddef>

#include "telltale/quoted_name.h"

namespace telltale::cli {
namespace {

constexpr std::string_view kHexDigits = "0123456789abcdef";

// The code point of a well-formed UTF-8 sequence.
char32_t CodePoint(std::string_view sequence) {
  const auto lead = static_cast<unsigned char>(sequence[0]);
  if (sequence.size() == 1) {
    return lead;
  }
  // The lead keeps 7 - length bits, each continuation byte 6.
  char32_t point = lead & (0x7FU >> sequence.size());
  for (const char c : sequence.substr(1)) {
    point = (point << 6U) | (static_cast<unsigned char>(c) & 0x3FU);
  }
  return point;
}

// Characters written as \uXXXX: the C0 and C1 controls and DEL, which a
// terminal showing the output would act on (C1 ones as some terminals act on
// ESC sequences), and the line and paragraph separators, which end a line
// for some readers of JSON Lines.
bool NeedsEscape(char32_t point) {
  return point < 0x20 || (point >= 0x7F && point <= 0x9F) || point == 0x2028 || point == 0x2029;
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t length = Utf8SequenceLength(bytes, i);
    if (length == 0) {
      return false;
    }
    i += length;
  }
  return true;
}

void AppendJsonString(std::string& out, std::string_view bytes) {
  out += '"';
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t length = Utf8SequenceLength(bytes, i);
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (length == 0) {
      out += "\\ufffd";
      ++i;
      continue;
    }
    const std::string_view character = bytes.substr(i, length);
    if (byte == '"' || byte == '\\') {
      out += '\\';
      out += static_cast<char>(byte);
    } else if (const char32_t point = CodePoint(character); NeedsEscape(point)) {
      out += "\\u";
      for (const unsigned shift : {12U, 8U, 4U, 0U}) {
        out += kHexDigits[(point >> shift) & 0x0FU];
      }
    } else {
      out.append(character);
    }
    i += length;
  }
  out += '"';
}

void AppendHex(std::string& out, std::string_view bytes) {
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    out += kHexDigits[byte >> 4U];
    out += kHexDigits[byte & 0x0FU];
  }
}

void AppendNumber(std::string& out, std::uint64_t number) {
  std::array<char, 24> digits{};
  const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), number);
  out.append(digits.data(), result.ptr);
}

void AppendToolCounts(std::string& out, const FindingCounts& counts) {
  out += '{';
  for (std::size_t r = 0; r < counts.size(); ++r) {
    if (r > 0) {
      out += ',';
    }
    AppendJsonString(out, kSignatureTable[r].tool);
    out += ':';
    AppendNumber(out, counts[r]);
  }
  out += '}';
}

}  // namespace telltale::cli
