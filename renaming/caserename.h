#pragma once

#include "rename.h"

#include <QString>

namespace renaming {

// Several files match the source name in different letter case, so the game
// could not tell which one is meant: refused rather than guessed. (A name the
// game cannot use, as one holding a NUL is.)
inline constexpr RenameCode AmbiguousFileName = BadFileName;

// renameNoReplace with the game's letter-case rules, which Windows applies by
// itself: a source missing in its exact case is found in another case when
// only one file has it so; a target existing in any case exists; the renamed
// file takes `to` exactly as written.
RenameCode renameIgnoringCase(const std::filesystem::path &from, const std::filesystem::path &to);

// A name as typed, in the file system's own spelling: its bytes on Linux,
// UTF-16 on Windows, where any name the user can type stands as it is.
std::filesystem::path nativeName(const QString &name);

} // namespace renaming
