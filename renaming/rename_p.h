#pragma once

#include "rename.h"

namespace platform {

// What the platform files of renameNoReplace share.
bool holdsNul(const std::filesystem::path &name);

} // namespace platform
