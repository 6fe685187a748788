// SPDX-License-Identifier: Apache-2.0
// How many files the scanner may hold open at once.
#pragma once

#include <cstddef>

namespace telltale::cli {

// Raises the process's limit on open files as far as the system allows it,
// where it has one, and returns the limit now in force: how many descriptors
// the run may hold in all, its standard streams included.
std::size_t RaiseOpenFileLimit();

}  // namespace telltale::cli
