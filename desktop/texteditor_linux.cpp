#include "texteditor.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSocketNotifier>

#include <algorithm>
#include <dlfcn.h>
#include <memory>
#include <optional>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#pragma push_macro("signals") // a Qt keyword, and a field of GLib's
#undef signals
#include <gio/gdesktopappinfo.h>
#pragma pop_macro("signals")

namespace desktop {

namespace {
// A launcher that fails this soon after it started (no display, a sandbox
// without the editor, a terminal that cannot run) started no editor; after
// that, how the editor ends is its own affair.
constexpr qint64 StartingMs = 5000;

// GIO, loaded by the first Notepad command, not with the program: linked, it
// and the six libraries it needs were loaded and bound at every start-up, a
// twentieth of the time to the first window, for a command most runs never use.
struct Gio {
    decltype(&g_app_info_get_default_for_type) defaultForType;
    decltype(&g_app_info_get_all_for_type) allForType;
    decltype(&g_app_info_equal) equal;
    decltype(&g_desktop_app_info_get_type) desktopAppInfoType;
    decltype(&g_desktop_app_info_launch_uris_as_manager) launch;
    decltype(&g_desktop_app_info_get_boolean) getBoolean;
    decltype(&g_app_info_launch_uris_async) launchAsync;
    decltype(&g_app_info_launch_uris_finish) launchFinish;
    decltype(&g_error_free) freeError;
    decltype(&g_file_new_for_path) fileForPath;
    decltype(&g_file_get_uri) uri;
    decltype(&g_type_check_instance_is_a) isA;
    decltype(&g_object_unref) unref;
    decltype(&g_list_free) freeList;
    decltype(&g_free) free;
};

// GIO's functions, or none where the library or one of them is missing.
const Gio *gio()
{
    static const std::optional<Gio> loaded = []() -> std::optional<Gio> {
        void *library = dlopen("libgio-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
        if (!library)
            return std::nullopt;
        Gio gio;
        bool all = true;
        const auto resolve = [&](auto &function, const char *name) {
            function =
                reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(library, name));
            all = all && function;
        };
        resolve(gio.defaultForType, "g_app_info_get_default_for_type");
        resolve(gio.allForType, "g_app_info_get_all_for_type");
        resolve(gio.equal, "g_app_info_equal");
        resolve(gio.desktopAppInfoType, "g_desktop_app_info_get_type");
        resolve(gio.launch, "g_desktop_app_info_launch_uris_as_manager");
        resolve(gio.getBoolean, "g_desktop_app_info_get_boolean");
        resolve(gio.launchAsync, "g_app_info_launch_uris_async");
        resolve(gio.launchFinish, "g_app_info_launch_uris_finish");
        resolve(gio.freeError, "g_error_free");
        resolve(gio.fileForPath, "g_file_new_for_path");
        resolve(gio.uri, "g_file_get_uri");
        resolve(gio.isA, "g_type_check_instance_is_a");
        resolve(gio.unref, "g_object_unref");
        resolve(gio.freeList, "g_list_free");
        resolve(gio.free, "g_free");
        return all ? std::optional(gio) : std::nullopt;
    }();
    return loaded ? &*loaded : nullptr;
}

struct Unref {
    void operator()(gpointer object) const { gio()->unref(object); }
};
using Application = std::unique_ptr<GAppInfo, Unref>;

// Adds the applications the desktop lists for plain text that `found` lacks.
void addPlainTextApplications(std::vector<Application> &found)
{
    GList *all = gio()->allForType("text/plain");
    for (GList *item = all; item; item = item->next) {
        Application application(static_cast<GAppInfo *>(item->data));
        if (std::none_of(found.begin(), found.end(), [&](const Application &other) {
                return gio()->equal(other.get(), application.get());
            }))
            found.push_back(std::move(application));
    }
    gio()->freeList(all);
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
        if (GAppInfo *chosen = gio()->defaultForType("text/plain", FALSE))
            applications_.emplace_back(chosen);
        // GIO gives each application the file as the path or the URI it
        // takes, and never asks whether the file is there.
        GFile *file = gio()->fileForPath(QFile::encodeName(path).constData());
        uri_ = gio()->uri(file);
        gio()->unref(file);
    }
    ~EditorStart() override
    {
        gio()->free(uri_);
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
            GAppInfo &application = *applications_[next_++];
            if (activatedThroughBus(application)) {
                // Its own service opens the file, if there is one: only the
                // answer to that call tells.
                GList uris = {uri_, nullptr, nullptr};
                gio()->launchAsync(&application, &uris, nullptr, nullptr, opened, this);
                return;
            }
            if (!launch(application))
                continue;
            // Not to be watched: counted as started.
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
    // An application that a D-Bus service of its own starts (DBusActivatable),
    // which GIO then asks to open the file without waiting for the answer.
    static bool activatedThroughBus(GAppInfo &application)
    {
        auto *instance = reinterpret_cast<GTypeInstance *>(&application);
        return gio()->isA(instance, gio()->desktopAppInfoType()) &&
               gio()->getBoolean(reinterpret_cast<GDesktopAppInfo *>(&application),
                                 "DBusActivatable");
    }

    // The answer to a D-Bus start, from GLib's loop: a service that is not
    // there, or refuses, started no editor.
    static void opened(GObject *application, GAsyncResult *result, gpointer self)
    {
        GError *error = nullptr;
        const bool started =
            gio()->launchFinish(reinterpret_cast<GAppInfo *>(application), result, &error);
        if (error)
            gio()->freeError(error);
        auto *start = static_cast<EditorStart *>(self);
        if (started)
            start->deleteLater();
        else
            start->startNext();
    }

    // The application on the file, its path one argument, never through a
    // shell; one marked Terminal=true in the user's terminal.
    bool launch(GAppInfo &application)
    {
        GList uris = {uri_, nullptr, nullptr};
        const auto watched = canWatchChildren() ? G_SPAWN_DO_NOT_REAP_CHILD : GSpawnFlags(0);
        const auto started = [](GDesktopAppInfo *, GPid pid, gpointer self) {
            static_cast<EditorStart *>(self)->pid_ = pid;
        };
        // Every application GIO lists on Linux is a desktop entry's.
        auto *instance = reinterpret_cast<GTypeInstance *>(&application);
        if (!gio()->isA(instance, gio()->desktopAppInfoType()))
            return false;
        return gio()->launch(reinterpret_cast<GDesktopAppInfo *>(&application), &uris, nullptr,
                             GSpawnFlags(G_SPAWN_SEARCH_PATH | watched), nullptr, nullptr, started,
                             this, nullptr);
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
    if (!gio())
        return failed();
    (new EditorStart(path, std::move(failed)))->startNext();
}

} // namespace desktop
