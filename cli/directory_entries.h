// SPDX-License-Identifier: Apache-2.0
// What a walk asks of the system about directories and their entries. Each
// system's answers are in posix/ or win32/; the walk itself is input_walk.cpp.
// Directories are held as descriptors; every entry is reached through its
// directory's, never through a path that a link put in its place could
// divert. Failures are returned, not thrown: the walk reports them and goes on.
#pragma once

#include <cstdint>
#include <string>
#include <system_error>
#include <vector>

namespace telltale::cli {

struct EntryStatus {
  enum class Type { kFile, kDirectory, kLink, kSpecial };
  Type type = Type::kFile;
  std::string special;  // for kSpecial: what it is, as in "a named pipe"
};

// Tells directories apart: the same identity is the same directory.
struct DirectoryIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  bool operator==(const DirectoryIdentity&) const = default;
};

// Whether `path` names a directory, links followed; false when that cannot
// be told (opening it will then say why).
bool IsDirectory(const std::string& path);

// Open a directory and return its descriptor, or -1 with `error` set.
int OpenDirectoryPath(const std::string& path, std::error_code& error);
int OpenDirectoryAt(int directory_fd, const std::string& name, bool follow_links,
                    std::error_code& error);
// The directory that holds the one open as `directory_fd` now, wherever that
// was moved; its identity tells whether it is still the one walked.
int OpenParentDirectory(int directory_fd, std::error_code& error);

std::error_code StatusAt(int directory_fd, const std::string& name, bool follow_links,
                         EntryStatus& status);
std::error_code IdentityOf(int directory_fd, DirectoryIdentity& identity);
// The names in the directory but "." and "..", in no particular order.
std::error_code ReadNames(int directory_fd, std::vector<std::string>& names);
void CloseDirectory(int directory_fd);

// `name` in the directory shown as `path`, with the system's separator.
std::string Joined(const std::string& path, const std::string& name);

}  // namespace telltale::cli
