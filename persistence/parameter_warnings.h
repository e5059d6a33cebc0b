// What a parameter file holds that its loaders take without a word although the view cannot
// use it: view numbers that are not numbers.
#pragma once

#include "persistence/parameter_format.h"

#include <string>
#include <vector>

namespace qv {

/// One line for each view number the fields store that the view cannot take (infinite, NaN,
/// or a text that is no number): the loaders leave that number as it was, so that a freshly
/// started program draws its start-up window there.
std::vector<std::string> unusableStoredNumbers(const FileFields& fields);

/// The same for the file at `path`, read as loadParameterFile reads it; empty for a file it
/// refuses.
std::vector<std::string> unusableStoredNumbers(const std::string& path);

} // namespace qv
