#include "texteditor.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSocketNotifier>

#include <algorithm>
#include <memory>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#pragma push_macro("signals") // a Qt keyword, and a field of GLib's
#undef signals
#include <gio/gdesktopappinfo.h>
#pragma pop_macro("signals")

namespace platform {

namespace {
// A launcher that fails this soon after it started (no display, a sandbox
// without the editor, a terminal that cannot run) started no editor; after
// that, how the editor ends is its own affair.
constexpr qint64 StartingMs = 5000;

struct Unref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
using Application = std::unique_ptr<GAppInfo, Unref>;

// Adds the applications the desktop lists for plain text that `found` lacks.
void addPlainTextApplications(std::vector<Application> &found)
{
    GList *all = g_app_info_get_all_for_type("text/plain");
    for (GList *item = all; item; item = item->next) {
        Application application(G_APP_INFO(item->data));
        if (std::none_of(found.begin(), found.end(), [&](const Application &other) {
                return g_app_info_equal(other.get(), application.get());
            }))
            found.push_back(std::move(application));
    }
    g_list_free(all);
}

// A descriptor that becomes readable when the process ends (Linux 5.3 on);
// called directly, as Debian 12's C library declares it without C linkage.
int pidfdOpen(pid_t pid)
{
    return int(syscall(SYS_pidfd_open, pid, 0));
}

// Whether a child's exit can be waited for without blocking.
bool canWatchChildren()
{
    static const bool can = [] {
        const int fd = pidfdOpen(getpid());
        return fd >= 0 && close(fd) == 0;
    }();
    return can;
}

// One Notepad command: the applications in turn, until one starts.
class EditorStart : public QObject {
public:
    EditorStart(const QString &path, std::function<void()> failed)
        : QObject(QCoreApplication::instance()), failed_(std::move(failed))
    {
        // The desktop's default first; the others are listed only if it fails.
        if (GAppInfo *chosen = g_app_info_get_default_for_type("text/plain", FALSE))
            applications_.emplace_back(chosen);
        // GIO gives each application the file as the path or the URI it
        // takes, and never asks whether the file is there.
        GFile *file = g_file_new_for_path(QFile::encodeName(path).constData());
        uri_ = g_file_get_uri(file);
        g_object_unref(file);
    }
    ~EditorStart() override
    {
        g_free(uri_);
        if (pidfd_ >= 0)
            close(pidfd_);
    }

    // Starts the next application; when none is left, reports the failure.
    void startNext()
    {
        for (;;) {
            if (next_ == applications_.size() && !std::exchange(othersListed_, true))
                addPlainTextApplications(applications_);
            if (next_ == applications_.size())
                break;
            pid_ = 0;
            if (!launch(*applications_[next_++]))
                continue;
            // Started through D-Bus (no process of ours), or not to be watched.
            if (pid_ <= 0 || (pidfd_ = pidfdOpen(pid_)) < 0)
                return deleteLater();
            started_.start();
            auto *exit = new QSocketNotifier(pidfd_, QSocketNotifier::Read, this);
            connect(exit, &QSocketNotifier::activated, this, [this, exit] {
                int status = 0;
                if (waitpid(pid_, &status, WNOHANG) == 0)
                    return;
                exit->setEnabled(false);
                exit->deleteLater();
                close(std::exchange(pidfd_, -1));
                const bool gaveUp = !WIFEXITED(status) || WEXITSTATUS(status) != 0;
                if (gaveUp && !started_.hasExpired(StartingMs))
                    startNext();
                else
                    deleteLater();
            });
            return;
        }
        failed_();
        deleteLater();
    }

private:
    // The application on the file, its path one argument, never through a
    // shell; one marked Terminal=true in the user's terminal.
    bool launch(GAppInfo &application)
    {
        GList uris = {uri_, nullptr, nullptr};
        const auto watched = canWatchChildren() ? G_SPAWN_DO_NOT_REAP_CHILD : GSpawnFlags(0);
        const auto started = [](GDesktopAppInfo *, GPid pid, gpointer self) {
            static_cast<EditorStart *>(self)->pid_ = pid;
        };
        return g_desktop_app_info_launch_uris_as_manager(
            G_DESKTOP_APP_INFO(&application), &uris, nullptr,
            GSpawnFlags(G_SPAWN_SEARCH_PATH | watched), nullptr, nullptr, started, this, nullptr);
    }

    std::vector<Application> applications_;
    size_t next_ = 0;
    bool othersListed_ = false;
    std::function<void()> failed_;
    char *uri_ = nullptr;
    GPid pid_ = 0;
    int pidfd_ = -1;
    QElapsedTimer started_;
};
} // namespace

void startTextEditor(const QString &path, std::function<void()> failed)
{
    (new EditorStart(path, std::move(failed)))->startNext();
}

} // namespace platform
