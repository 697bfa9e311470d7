// A folder shown at a mount point through FUSE, each request answered only
// after a delay, or never: a slow USB disk, a network share, a drive that does
// not answer, as the game search meets them. Files are read and renamed (with
// the rename's flags, so a rename that must not replace does not); nothing
// else is written.
//
// usage: slowfs FOLDER MOUNTPOINT DELAY_MS|never [PEAK_FILE]
// Runs until SIGTERM or SIGINT, then unmounts. With PEAK_FILE, writes there
// the most requests it held at once, a measure of how many the reader put
// in parallel. Never answering, it says "held" on its output at the first
// request it holds: from then on its reader waits in the kernel.

#define FUSE_USE_VERSION 312
#include <fuse3/fuse.h>
#include <fuse3/fuse_lowlevel.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

std::string folder;
int delayMs = 0;
bool never = false;
std::atomic<int> held{0};
std::atomic<int> peak{0};
std::atomic<bool> holding{false};

std::string real(const char *path)
{
    return folder + path;
}

// Held for the length of one request: its delay, and the count in flight.
struct Request {
    Request()
    {
        const int now = ++held;
        for (int seen = peak; now > seen && !peak.compare_exchange_weak(seen, now);) {
        }
        // Never answered: the request is held until the server is told to
        // end, as a hung server's would be.
        if (never && !holding.exchange(true) && write(STDOUT_FILENO, "held\n", 5) < 0)
            std::perror("slowfs");
        while (never && !fuse_session_exited(fuse_get_session(fuse_get_context()->fuse)))
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    }
    ~Request() { --held; }
};

void *init(fuse_conn_info *connection, fuse_config *)
{
    connection->want |= connection->capable & FUSE_CAP_PARALLEL_DIROPS;
    return nullptr;
}

int getattr(const char *path, struct stat *st, fuse_file_info *)
{
    const Request request;
    return lstat(real(path).c_str(), st) == 0 ? 0 : -errno;
}

int readlink(const char *path, char *buffer, size_t size)
{
    const Request request;
    const ssize_t n = ::readlink(real(path).c_str(), buffer, size - 1);
    if (n < 0)
        return -errno;
    buffer[n] = '\0';
    return 0;
}

int readdir(const char *path, void *buffer, fuse_fill_dir_t fill, off_t, fuse_file_info *,
            fuse_readdir_flags)
{
    const Request request;
    DIR *dir = opendir(real(path).c_str());
    if (!dir)
        return -errno;
    while (const dirent *entry = ::readdir(dir)) {
        struct stat st {};
        st.st_ino = entry->d_ino;
        st.st_mode = mode_t(entry->d_type) << 12;
        if (fill(buffer, entry->d_name, &st, 0, fuse_fill_dir_flags(0)))
            break;
    }
    closedir(dir);
    return 0;
}

int open(const char *path, fuse_file_info *info)
{
    const Request request;
    const int fd = ::open(real(path).c_str(), O_RDONLY);
    if (fd < 0)
        return -errno;
    info->fh = uint64_t(fd);
    return 0;
}

int read(const char *, char *buffer, size_t size, off_t offset, fuse_file_info *info)
{
    const Request request;
    const ssize_t n = pread(int(info->fh), buffer, size, offset);
    return n < 0 ? -errno : int(n);
}

int rename(const char *from, const char *to, unsigned int flags)
{
    const Request request;
    return renameat2(AT_FDCWD, real(from).c_str(), AT_FDCWD, real(to).c_str(), flags) == 0 ? 0
                                                                                           : -errno;
}

int release(const char *, fuse_file_info *info)
{
    close(int(info->fh));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s FOLDER MOUNTPOINT DELAY_MS|never [PEAK_FILE]\n", argv[0]);
        return 2;
    }
    folder = argv[1];
    never = std::strcmp(argv[3], "never") == 0;
    delayMs = never ? 0 : std::atoi(argv[3]);

    fuse_operations operations{};
    operations.init = init;
    operations.getattr = getattr;
    operations.readlink = readlink;
    operations.readdir = readdir;
    operations.open = open;
    operations.read = read;
    operations.rename = rename;
    operations.release = release;
    char name[] = "slowfs";
    char *args[] = {name};
    fuse_args fuseArgs = FUSE_ARGS_INIT(1, args);
    fuse *fs = fuse_new(&fuseArgs, &operations, sizeof operations, nullptr);
    if (!fs || fuse_mount(fs, argv[2]) != 0)
        return 1;
    fuse_set_signal_handlers(fuse_get_session(fs));
    fuse_loop_config *config = fuse_loop_cfg_create();
    fuse_loop_cfg_set_max_threads(config, 256);
    fuse_loop_cfg_set_idle_threads(config, 256);
    const int status = fuse_loop_mt(fs, config);
    fuse_loop_cfg_destroy(config);
    fuse_remove_signal_handlers(fuse_get_session(fs));
    fuse_unmount(fs);
    fuse_destroy(fs);
    if (argc > 4)
        if (FILE *out = std::fopen(argv[4], "w")) {
            std::fprintf(out, "%d\n", peak.load());
            std::fclose(out);
        }
    return status == 0 ? 0 : 1;
}
