// How many files the scanner may hold open at once.
#pragma once

namespace telltale::cli {

// Raises the process's limit as far as the system allows it, where it has
// one: files scanned at once and the directories a walk holds need room.
void RaiseOpenFileLimit();

}  // namespace telltale::cli
