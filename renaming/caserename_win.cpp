#include "caserename.h"

namespace platform {

int renameIgnoringCase(const std::filesystem::path &from, const std::filesystem::path &to)
{
    return renameNoReplace(from, to);
}

} // namespace platform
