// SPDX-License-Identifier: Apache-2.0
#include "window/common/dropped_file.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace telltale {
namespace {

// Around a URI. Some programs end the list with a NUL byte.
constexpr std::string_view kBlanks{" \t\r\0", 4};

std::string_view Trimmed(std::string_view line) {
  const std::size_t first = line.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) {
    return {};
  }
  return line.substr(first, line.find_last_not_of(kBlanks) - first + 1);
}

// The URIs of the list, without its comments and empty lines.
std::vector<std::string_view> Uris(std::string_view uri_list) {
  std::vector<std::string_view> uris;
  while (!uri_list.empty()) {
    const std::size_t end = std::min(uri_list.find('\n'), uri_list.size());
    const std::string_view line = Trimmed(uri_list.substr(0, end));
    if (!line.empty() && line.front() != '#') {
      uris.push_back(line);
    }
    uri_list.remove_prefix(std::min(end + 1, uri_list.size()));
  }
  return uris;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) { return Lower(x) == Lower(y); });
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (Lower(c) >= 'a' && Lower(c) <= 'f') {
    return Lower(c) - 'a' + 10;
  }
  return -1;
}

std::string PercentDecoded(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const int high = text[i] == '%' && i + 2 < text.size() ? HexValue(text[i + 1]) : -1;
    const int low = high >= 0 ? HexValue(text[i + 2]) : -1;
    if (low >= 0) {
      bytes += static_cast<char>(high * 16 + low);
      i += 2;
    } else {
      bytes += text[i];
    }
  }
  return bytes;
}

}  // namespace

std::optional<std::string> LocalFileOfUriList(std::string_view uri_list) {
  const std::vector<std::string_view> uris = Uris(uri_list);
  if (uris.size() != 1) {
    return std::nullopt;
  }
  std::string_view uri = uris.front();
  constexpr std::string_view kScheme = "file:";
  if (uri.size() < kScheme.size() || !EqualIgnoringCase(uri.substr(0, kScheme.size()), kScheme)) {
    return std::nullopt;
  }
  uri.remove_prefix(kScheme.size());
  // file:///path, file://localhost/path or file:/path.
  if (uri.starts_with("//")) {
    uri.remove_prefix(2);
    const std::size_t path = uri.find('/');
    if (path == std::string_view::npos ||
        (path != 0 && !EqualIgnoringCase(uri.substr(0, path), "localhost"))) {
      return std::nullopt;
    }
    uri.remove_prefix(path);
  }
  if (!uri.starts_with('/') || uri.find_first_of("?#") != std::string_view::npos) {
    return std::nullopt;
  }
  std::string path = PercentDecoded(uri);
  if (path.find('\0') != std::string::npos) {
    return std::nullopt;
  }
  return path;
}

}  // namespace telltale
