// The inputs of one run, in order: the paths given, and with recursion the
// files under the directories given, each directory's entries sorted by name.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace telltale::cli {

struct Input {
  enum class Kind {
    kFile,           // to be opened and scanned
    kStandardInput,  // "-"
    kSkipped,        // met in a walk and not scanned: `reason` says why
    kUnreadable,     // a directory that could not be read: `error`
  };
  Kind kind = Kind::kFile;
  std::string path;  // bytes, as given or as walked
  std::string reason;
  std::error_code error;
};

// Walks lazily: only the directories on the way to the current entry are
// held. Symbolic links are followed for paths given, never to directories
// met in a walk, so no walk loops.
class InputWalk {
 public:
  InputWalk(std::vector<std::string> paths, bool recursive);

  // The next input, or nothing when all have been given.
  std::optional<Input> Next();

 private:
  struct Entry {
    std::string path;
    std::filesystem::file_type type;
  };
  struct OpenDirectory {
    std::vector<Entry> entries;  // sorted by name
    std::size_t next = 0;
  };

  std::optional<Input> FromEntry(const Entry& entry);
  // Adds the directory to the walk, or returns why it cannot be read.
  std::optional<Input> Enter(const std::string& path);

  std::vector<std::string> paths_;
  std::size_t next_path_ = 0;
  bool recursive_;
  std::vector<OpenDirectory> open_;  // innermost last
};

}  // namespace telltale::cli
