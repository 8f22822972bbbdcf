// A scratch working folder for the benchmarks, with links to the artwork in the folder
// they were started from.
#pragma once

#include <string>

// Enters the scratch folder and returns its path, or "" on failure.
std::string enter_scratch_run_folder();

// Removes the folder and what the game may have written there.
void leave_scratch_run_folder(const std::string& run);
