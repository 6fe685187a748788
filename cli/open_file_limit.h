// How many files the scanner may hold open at once.
#pragma once

namespace telltale::cli {

// A walk holds a descriptor for each directory on its way down: raises the
// process's limit as far as the system allows it, where it has one.
void RaiseOpenFileLimit();

}  // namespace telltale::cli
