#pragma once

// A home as a Linux player with many Windows games under Proton has it: a
// Steam installation whose own library holds `prefixes` Proton prefixes, and
// a second library, listed in libraryfolders.vdf, whose one prefix holds the
// game's levels folder, so that the search goes through every other first.

#include <filesystem>
#include <fstream>
#include <string>

namespace bench {

inline std::filesystem::path makeSteamHome(const std::filesystem::path &home, int prefixes)
{
    namespace fs = std::filesystem;
    const fs::path steam = home / ".local/share/Steam";
    const fs::path second = home / "SteamLibrary";
    const auto makePrefix = [](const fs::path &pfx) {
        for (const char *top : {"Program Files", "Program Files (x86)"})
            for (const char *folder :
                 {"Common Files", "Internet Explorer", "Windows Media Player", "Windows NT"})
                fs::create_directories(pfx / "drive_c" / top / folder);
        for (const char *folder : {"ProgramData", "users/steamuser", "windows/system32"})
            fs::create_directories(pfx / "drive_c" / folder);
    };
    for (int i = 0; i < prefixes; ++i)
        makePrefix(steam / "steamapps/compatdata" / std::to_string(200000 + i * 10) / "pfx");
    const fs::path game = second / "steamapps/compatdata/900000/pfx";
    makePrefix(game);
    const fs::path levels = game / "drive_c/Program Files/Quenmark/Vantorel/levels";
    fs::create_directories(levels);
    std::ofstream(steam / "steamapps/libraryfolders.vdf")
        << "\"libraryfolders\"\n{\n\t\"0\"\n\t{\n\t\t\"path\"\t\t\"" << steam.string()
        << "\"\n\t}\n\t\"1\"\n\t{\n\t\t\"path\"\t\t\"" << second.string() << "\"\n\t}\n}\n";
    fs::create_directories(home / ".steam");
    fs::create_directory_symlink(steam, home / ".steam/steam");
    return levels;
}

} // namespace bench
