// Start-up to the first shown main window, as whole processes on the
// offscreen platform: the program against a minimal Qt Widgets window,
// started in turn so that both see the same machine load.
//
// usage: bench_startup OURS BASELINE [RUNS]

#include "benchutil.h"
#include "steamhome.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

struct Start {
    double shownMs = -1;
    double exitMs = -1;
    std::string line;
};

// Fork to the "shown" line, and fork to exit.
Start timeStart(const std::string &program, char **env, const std::string &errors)
{
    int out[2];
    if (pipe(out) != 0) {
        std::perror("pipe");
        std::exit(1);
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    // Qt's notes about the offscreen platform would drown the figures.
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errors.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, out[1]);
    char *argv[] = {const_cast<char *>(program.c_str()), nullptr};

    Start start;
    const double t0 = bench::nowMs();
    pid_t pid;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, env) != 0) {
        std::perror(program.c_str());
        std::exit(1);
    }
    close(out[1]);
    char buffer[256];
    ssize_t n;
    while ((n = read(out[0], buffer, sizeof buffer)) != 0) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            break;
        if (start.shownMs < 0)
            start.shownMs = bench::nowMs() - t0;
        start.line.append(buffer, static_cast<size_t>(n));
    }
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    start.exitMs = bench::nowMs() - t0;
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || start.shownMs < 0) {
        std::fprintf(stderr, "%s did not show a window and end cleanly:\n", program.c_str());
        std::ifstream log(errors);
        std::fprintf(stderr, "%s", std::string(std::istreambuf_iterator<char>(log), {}).c_str());
        std::exit(1);
    }
    while (!start.line.empty() && start.line.back() == '\n')
        start.line.pop_back();
    return start;
}

// The environment of a start: ours with the quiet offscreen platform, the
// home and the prefix replaced.
class Environment {
public:
    explicit Environment(const std::vector<std::string> &overrides)
    {
        for (char **e = environ; *e; ++e) {
            const std::string entry = *e;
            if (entry.rfind("QT_QPA_PLATFORM=", 0) != 0 && entry.rfind("HOME=", 0) != 0 &&
                entry.rfind("WINEPREFIX=", 0) != 0)
                settings_.push_back(entry);
        }
        settings_.push_back("QT_QPA_PLATFORM=offscreen");
        settings_.insert(settings_.end(), overrides.begin(), overrides.end());
        for (std::string &entry : settings_)
            pointers_.push_back(entry.data());
        pointers_.push_back(nullptr);
    }
    char **get() { return pointers_.data(); }

private:
    std::vector<std::string> settings_;
    std::vector<char *> pointers_;
};

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OURS BASELINE [RUNS]\n", argv[0]);
        return 2;
    }
    const std::string ours = argv[1];
    const std::string baseline = argv[2];
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 21;

    // A scratch home and prefix holding the game's levels folder with a level
    // and a log in it, as the program finds them on a user's machine.
    char scratchTemplate[] = "/tmp/vr-bench-startup-XXXXXX";
    const char *scratch = mkdtemp(scratchTemplate);
    if (!scratch) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::filesystem::path prefix = std::filesystem::path(scratch) / "prefix";
    const auto levels = prefix / "drive_c/Program Files/Quenmark/Vantorel/levels";
    std::filesystem::create_directories(levels);
    for (const char *name : {"levl2131.DAT", "levl2131.HDR", "levl2131.VER", "Renames.txt"})
        std::ofstream(levels / name) << "x\n";

    // The same home again, now with a Steam installation of 300 Proton
    // prefixes and the game in a second library, found by the search.
    const std::filesystem::path searchHome = std::filesystem::path(scratch) / "steamhome";
    bench::makeSteamHome(searchHome, 300);

    const std::string errors = std::string(scratch) + "/stderr.txt";
    Environment withPrefix({"HOME=" + std::string(scratch), "WINEPREFIX=" + prefix.string()});
    Environment withSearch({"HOME=" + searchHome.string()});

    // One start of each first, to fill the page cache with the libraries.
    const std::string oursLine = timeStart(ours, withPrefix.get(), errors).line;
    timeStart(baseline, withPrefix.get(), errors);
    timeStart(ours, withSearch.get(), errors);

    std::vector<double> oursShown, baseShown, oursExit, baseExit, searchShown, searchBase;
    for (int i = 0; i < runs; ++i) {
        const Start a = timeStart(ours, withPrefix.get(), errors);
        const Start b = timeStart(baseline, withPrefix.get(), errors);
        const Start c = timeStart(ours, withSearch.get(), errors);
        const Start d = timeStart(baseline, withSearch.get(), errors);
        oursShown.push_back(a.shownMs);
        oursExit.push_back(a.exitMs);
        baseShown.push_back(b.shownMs);
        baseExit.push_back(b.exitMs);
        searchShown.push_back(c.shownMs);
        searchBase.push_back(d.shownMs);
    }
    bench::report("startup.first-window-shown", oursShown, baseShown, "ms");
    bench::report("startup.start-to-exit", oursExit, baseExit, "ms");
    bench::report("startup.shown-300-proton", searchShown, searchBase, "ms");
    std::printf("startup.at-first-show        %s\n", oursLine.c_str());

    std::filesystem::remove_all(scratch);
    return 0;
}
