#include "caserename.h"

namespace platform {

RenameCode renameIgnoringCase(const std::filesystem::path &from, const std::filesystem::path &to)
{
    return renameNoReplace(from, to);
}

} // namespace platform
