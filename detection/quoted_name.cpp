// SPDX-License-Identifier: Apache-2.0
#include "telltale/quoted_name.h"

#include <algorithm>
#include <cstddef>

namespace telltale {
namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0U) == 0x80U; }

// A character is one well-formed UTF-8 sequence, or one byte outside any.
bool IsControl(std::string_view character) {
  const auto lead = static_cast<unsigned char>(character[0]);
  if (character.size() == 1) {
    return lead < 0x20 || lead == 0x7F;
  }
  // U+0080 to U+009F, encoded C2 80 to C2 9F: some terminals act on them
  // as they do on ESC sequences.
  return character.size() == 2 && lead == 0xC2 && static_cast<unsigned char>(character[1]) < 0xA0;
}

void AppendEscape(std::string& out, unsigned char byte) {
  switch (byte) {
    case '\t':
      out += "\\t";
      return;
    case '\n':
      out += "\\n";
      return;
    case '\r':
      out += "\\r";
      return;
    default:
      out += '\\';
      out += static_cast<char>('0' + (byte >> 6U));
      out += static_cast<char>('0' + ((byte >> 3U) & 7U));
      out += static_cast<char>('0' + (byte & 7U));
  }
}

// Calls `use(character, escaped)` for each character of `text`, `escaped`
// telling whether it must not reach a terminal as it is.
template <typename Use>
void ForEachCharacter(std::string_view text, Use use) {
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = Utf8SequenceLength(text, i);
    const std::string_view character = text.substr(i, std::max<std::size_t>(length, 1));
    i += character.size();
    use(character, length == 0 || IsControl(character));
  }
}

bool CanShowAsItIs(std::string_view name) {
  bool safe = !name.empty();
  ForEachCharacter(name, [&](std::string_view character, bool escaped) {
    safe = safe && !escaped && character != "'";
  });
  return safe;
}

std::string Quote(std::string_view text) {
  enum class Part { kNone, kQuoted, kEscaped };
  std::string out;
  Part open = Part::kNone;
  const auto enter = [&](Part part) {
    if (part == open) {
      return;
    }
    if (open != Part::kNone) {
      out += '\'';
    }
    if (part == Part::kQuoted) {
      out += '\'';
    } else if (part == Part::kEscaped) {
      out += "$'";
    }
    open = part;
  };
  ForEachCharacter(text, [&](std::string_view character, bool escaped) {
    if (escaped) {
      enter(Part::kEscaped);
      for (const char byte : character) {
        AppendEscape(out, static_cast<unsigned char>(byte));
      }
    } else if (character == "'") {
      enter(Part::kNone);
      out += "\\'";
    } else {
      enter(Part::kQuoted);
      out += character;
    }
  });
  enter(Part::kNone);
  return out.empty() ? std::string("''") : out;
}

}  // namespace

std::size_t Utf8SequenceLength(std::string_view bytes, std::size_t i) {
  const auto at = [&](std::size_t k) { return static_cast<unsigned char>(bytes[i + k]); };
  const unsigned char lead = at(0);
  if (lead < 0x80) {
    return 1;
  }
  std::size_t length = 0;
  // The range the second byte must lie in: narrower after some leads, which
  // rules out overlong forms, surrogates and code points past U+10FFFF.
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    low = lead == 0xE0 ? 0xA0 : 0x80;
    high = lead == 0xED ? 0x9F : 0xBF;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    low = lead == 0xF0 ? 0x90 : 0x80;
    high = lead == 0xF4 ? 0x8F : 0xBF;
  } else {
    return 0;
  }
  if (bytes.size() - i < length || at(1) < low || at(1) > high) {
    return 0;
  }
  for (std::size_t k = 2; k < length; ++k) {
    if (!IsContinuation(at(k))) {
      return 0;
    }
  }
  return length;
}

std::string QuotedName(std::string_view name) {
  return CanShowAsItIs(name) ? std::string(name) : Quote(name);
}

std::string QuotedWord(std::string_view word) { return Quote(word); }

}  // namespace telltale
