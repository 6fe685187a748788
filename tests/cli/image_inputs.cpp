// SPDX-License-Identifier: Apache-2.0
#include "image_inputs.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace telltale::cli::testing {
namespace {

std::string ReadWhole(const std::string& path) {
  std::ifstream in(telltale::testing::PathFromUtf8(path), std::ios::binary);
  std::string content{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (!in) {
    throw std::system_error(errno, std::generic_category(), path);
  }
  return content;
}

ImageInput Written(const telltale::testing::TempDir& dir, const std::string& name,
                   std::string content) {
  return {dir.Write(name, content), std::move(content)};
}

}  // namespace

void RunTool(const std::vector<std::string>& argv) {
  std::vector<std::string> words = argv;
  std::vector<char*> pointers;
  pointers.reserve(words.size() + 1);
  for (std::string& word : words) {
    pointers.push_back(word.data());
  }
  pointers.push_back(nullptr);
  pid_t pid = 0;
  const int error = ::posix_spawnp(&pid, pointers[0], nullptr, nullptr, pointers.data(), environ);
  if (error != 0) {
    throw std::system_error(error, std::generic_category(), argv[0]);
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) {
      throw std::system_error(errno, std::generic_category(), "waitpid");
    }
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    throw std::system_error(std::make_error_code(std::errc::io_error),
                            argv[0] + " did not succeed");
  }
}

ImageInputs::ImageInputs(const telltale::testing::TempDir& dir) {
  const std::string folder = telltale::testing::Utf8Of(dir.path());
  // The JPEG holds JFIF, two quantization tables, the Huffman tables and the
  // picture; the PNG's time chunks are left out, so that each is the same
  // from run to run.
  const std::string photo_path = folder + "/photo.jpg";
  RunTool({"convert", "-size", "96x64", "gradient:navy-orange", photo_path});
  photo = {photo_path, ReadWhole(photo_path)};
  const std::string picture_path = folder + "/picture.png";
  RunTool({"convert", "-size", "16x16", "xc:teal", "-set", "comment", "CDN", "-define",
           "png:exclude-chunk=date,time", picture_path});
  picture = {picture_path, ReadWhole(picture_path)};

  // Stored (-0), so that the markers of the file inside are in the archive as
  // they are; its time is fixed, so that the archive's own fields are too.
  const std::string secret = dir.Write("secret.txt", "the key: CDN \xFF\xDB end\n");
  using std::chrono::sys_days;
  using namespace std::chrono_literals;
  std::filesystem::last_write_time(
      telltale::testing::PathFromUtf8(secret),
      std::chrono::file_clock::from_sys(std::chrono::sys_seconds{sys_days{2024y / 3 / 1} + 12h}));
  const std::string archive_path = folder + "/payload.zip";
  RunTool({"zip", "-q", "-X", "-0", "-j", archive_path, secret});
  archive = {archive_path, ReadWhole(archive_path)};

  carrier = Written(dir, "carrier.jpg", photo.content + archive.content);
  notes = Written(dir, "notes.txt", "plain notes: cdn and \xFF\xDB\n");
}

std::vector<ImageInput> ImageInputs::All() const {
  return {photo, archive, carrier, picture, notes};
}

}  // namespace telltale::cli::testing
