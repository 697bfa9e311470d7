#pragma once

#include "rename.h"

namespace renaming {

// What the platform files of renameNoReplace share.
bool holdsNul(const std::filesystem::path &name);

} // namespace renaming
