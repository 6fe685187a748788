// SPDX-License-Identifier: Apache-2.0
#include "cli/disk_image/tsk_image_description.h"

#include <openssl/evp.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdio>  // open_memstream, a POSIX addition
#include <cstdlib>
#include <memory>
#include <string_view>
#include <vector>

namespace telltale::cli {
namespace {

constexpr std::size_t kReadSize = std::size_t{1} << 20;

// The stored MD5 of an E01. TSK's API gives it only in the image statistics
// it prints, one "MD5 hash of data:" line among them; libewf is not linked
// beside it for this one value.
std::optional<std::string> StoredMd5(TSK_IMG_INFO* info) {
  if ((info->itype & TSK_IMG_TYPE_EWF_EWF) == 0 || info->imgstat == nullptr) {
    return std::nullopt;
  }
  char* text = nullptr;
  std::size_t size = 0;
  FILE* stream = open_memstream(&text, &size);
  if (stream == nullptr) {
    throw std::system_error(errno, std::generic_category(), "open_memstream");
  }
  info->imgstat(info, stream);
  const bool written = std::fclose(stream) == 0;
  const std::unique_ptr<char, decltype(&std::free)> owned(text, &std::free);
  if (!written) {
    throw std::system_error(errno, std::generic_category(), "image statistics");
  }
  const std::string_view stats(text, size);
  constexpr std::string_view kLabel = "MD5 hash of data:";
  const std::size_t at = stats.find(kLabel);
  if (at == std::string_view::npos) {
    return std::nullopt;
  }
  std::string_view rest = stats.substr(at + kLabel.size());
  rest.remove_prefix(std::min(rest.find_first_not_of(" \t"), rest.size()));
  std::string md5(rest.substr(0, std::min(rest.find_first_of("\r\n"), rest.size())));
  std::transform(md5.begin(), md5.end(), md5.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (md5.size() != 32 ||
      !std::all_of(md5.begin(), md5.end(), [](unsigned char c) { return std::isxdigit(c) != 0; })) {
    return std::nullopt;  // "N/A" and the like: no hash was stored
  }
  return md5;
}

std::system_error DigestError(const std::string& name) {
  return {std::make_error_code(std::errc::not_enough_memory), name + ": MD5 state"};
}

// The MD5 of every byte of the image's media, read now.
std::string MediaMd5(TskImage& image, const std::string& name) {
  const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                        &EVP_MD_CTX_free);
  if (!context || EVP_DigestInit_ex(context.get(), EVP_md5(), nullptr) != 1) {
    throw DigestError(name);
  }
  std::vector<char> buffer(kReadSize);
  const auto size = static_cast<std::uint64_t>(image.info->size);
  for (std::uint64_t offset = 0; offset < size;) {
    const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(kReadSize, size - offset));
    const ssize_t got =
        tsk_img_read(image.info, static_cast<TSK_OFF_T>(offset), buffer.data(), wanted);
    if (got <= 0) {
      throw TskError(name, "cannot read the image's data to check its stored hash");
    }
    if (EVP_DigestUpdate(context.get(), buffer.data(), static_cast<std::size_t>(got)) != 1) {
      throw DigestError(name);
    }
    offset += static_cast<std::uint64_t>(got);
  }
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned length = 0;
  if (EVP_DigestFinal_ex(context.get(), digest.data(), &length) != 1) {
    throw DigestError(name);
  }
  std::string computed;
  constexpr std::string_view kHex = "0123456789abcdef";
  for (unsigned i = 0; i < length; ++i) {
    computed += kHex[digest[i] >> 4];
    computed += kHex[digest[i] & 0xF];
  }
  return computed;
}

}  // namespace

ImageDescription DescribeImage(TskImage& image, const std::string& name, bool verify) {
  const std::lock_guard lock(image.mutex);
  ImageDescription description{
      .format = (image.info->itype & TSK_IMG_TYPE_EWF_EWF) != 0 ? "e01" : "raw",
      .size = static_cast<std::uint64_t>(image.info->size),
      .stored_md5 = StoredMd5(image.info),
      .verified = false};
  if (!verify) {
    return description;
  }
  if (!description.stored_md5) {
    throw std::system_error(std::make_error_code(std::errc::not_supported),
                            name + ": no stored hash to verify");
  }
  const std::string computed = MediaMd5(image, name);
  if (computed != *description.stored_md5) {
    throw std::system_error(std::make_error_code(std::errc::io_error),
                            name + ": the data's MD5 " + computed +
                                " differs from the stored MD5 " + *description.stored_md5);
  }
  description.verified = true;
  return description;
}

}  // namespace telltale::cli
