#include "rename_p.h"

namespace renaming {

// A name with a NUL in it would reach the system cut short, naming another file.
bool holdsNul(const std::filesystem::path &name)
{
    return name.native().find(std::filesystem::path::value_type(0)) !=
           std::filesystem::path::string_type::npos;
}

} // namespace renaming
