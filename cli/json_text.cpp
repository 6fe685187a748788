#include "cli/json_text.h"

#include <array>
#include <charconv>
#include <cstddef>

#include "detection/quoted_name.h"

namespace telltale::cli {
namespace {

constexpr std::string_view kHexDigits = "0123456789abcdef";

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
    if (byte == '"' || byte == '\\') {
      out += '\\';
      out += static_cast<char>(byte);
    } else if (byte < 0x20 || byte == 0x7F) {
      out += "\\u00";
      out += kHexDigits[byte >> 4U];
      out += kHexDigits[byte & 0x0FU];
    } else {
      out.append(bytes.substr(i, length));
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
