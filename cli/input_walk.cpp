#include "cli/input_walk.h"

#include <algorithm>
#include <utility>

namespace telltale::cli {
namespace {

namespace fs = std::filesystem;

Input Skipped(std::string path, std::string reason) {
  return Input{Input::Kind::kSkipped, std::move(path), std::move(reason), {}};
}

// What a file of this type is, for the note that says it was skipped; empty
// for the types that are scanned.
std::string SpecialKind(fs::file_type type) {
  switch (type) {
    case fs::file_type::fifo:
      return "a named pipe";
    case fs::file_type::socket:
      return "a socket";
    case fs::file_type::character:
      return "a character device";
    case fs::file_type::block:
      return "a block device";
    default:
      return {};
  }
}

// The type as the directory listing gives it, which costs no call to the
// system where the file system reports types; a symbolic link is itself.
fs::file_type ListedType(const fs::directory_entry& entry) {
  // Each test below reads the cached type; with an unknown one it asks the
  // system and leaves the type unknown on failure, and opening will tell.
  std::error_code unknown;
  if (entry.is_symlink(unknown)) {
    return fs::file_type::symlink;
  }
  if (entry.is_regular_file(unknown)) {
    return fs::file_type::regular;
  }
  if (entry.is_directory(unknown)) {
    return fs::file_type::directory;
  }
  if (entry.is_fifo(unknown)) {
    return fs::file_type::fifo;
  }
  if (entry.is_socket(unknown)) {
    return fs::file_type::socket;
  }
  if (entry.is_character_file(unknown)) {
    return fs::file_type::character;
  }
  if (entry.is_block_file(unknown)) {
    return fs::file_type::block;
  }
  return fs::file_type::unknown;
}

}  // namespace

InputWalk::InputWalk(std::vector<std::string> paths, bool recursive)
    : paths_(std::move(paths)), recursive_(recursive) {}

std::optional<Input> InputWalk::Next() {
  for (;;) {
    if (!open_.empty()) {
      OpenDirectory& directory = open_.back();
      if (directory.next == directory.entries.size()) {
        open_.pop_back();
        continue;
      }
      // Moved out: entering a directory may reallocate open_.
      const Entry entry = std::move(directory.entries[directory.next++]);
      if (std::optional<Input> input = FromEntry(entry)) {
        return input;
      }
      continue;
    }
    if (next_path_ == paths_.size()) {
      return std::nullopt;
    }
    std::string path = std::move(paths_[next_path_++]);
    if (path == "-") {
      return Input{Input::Kind::kStandardInput, std::move(path), {}, {}};
    }
    std::error_code ignored;  // whatever it is, opening it will say
    if (recursive_ && fs::is_directory(path, ignored)) {
      if (std::optional<Input> failure = Enter(path)) {
        return failure;
      }
      continue;
    }
    return Input{Input::Kind::kFile, std::move(path), {}, {}};
  }
}

std::optional<Input> InputWalk::FromEntry(const Entry& entry) {
  if (entry.type == fs::file_type::directory) {
    return Enter(entry.path);
  }
  if (entry.type == fs::file_type::symlink) {
    std::error_code error;
    const fs::file_type target = fs::status(entry.path, error).type();
    if (error) {
      return Skipped(entry.path, "skipped, broken symbolic link (" + error.message() + ")");
    }
    if (target == fs::file_type::directory) {
      return Skipped(entry.path, "skipped, symbolic link to a directory");
    }
    if (const std::string kind = SpecialKind(target); !kind.empty()) {
      return Skipped(entry.path, "skipped, symbolic link to " + kind);
    }
    return Input{Input::Kind::kFile, entry.path, {}, {}};
  }
  if (const std::string kind = SpecialKind(entry.type); !kind.empty()) {
    return Skipped(entry.path, "skipped, " + kind);
  }
  return Input{Input::Kind::kFile, entry.path, {}, {}};
}

std::optional<Input> InputWalk::Enter(const std::string& path) {
  OpenDirectory directory;
  std::error_code error;
  for (fs::directory_iterator it(path, error), end; !error && it != end; it.increment(error)) {
    directory.entries.push_back(Entry{it->path().native(), ListedType(*it)});
  }
  if (error) {
    return Input{Input::Kind::kUnreadable, path, {}, error};
  }
  std::sort(directory.entries.begin(), directory.entries.end(),
            [](const Entry& a, const Entry& b) { return a.path < b.path; });
  open_.push_back(std::move(directory));
  return std::nullopt;
}

}  // namespace telltale::cli
