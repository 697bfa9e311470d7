#pragma once

#include <QDir>
#include <QFile>

#ifdef LEFTOVERS
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// A control of a window by its name; a missing one ends the test run.
template <class T> T *child(QObject &parent, const char *name)
{
    T *found = parent.findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no control %s", name);
    return found;
}

// The scratch folder of one run of a test program, vr-TEST-XXXXXX: the TMPDIR
// of the test and of all it starts, so that every temporary folder of the run
// lies in it. The run holds a lock on it while it lives. A run killed before
// its own cleanup leaves the folder behind, with what was mounted in it and the
// servers it started: the next run clears that first (leftovers.sh).
class RunScratch {
public:
    explicit RunScratch(const QString &test)
    {
#ifdef LEFTOVERS
        const QString prefix = QDir::tempPath() + "/vr-" + test + "-";
        QByteArray script = LEFTOVERS, argument = QFile::encodeName(prefix);
        char *arguments[] = {script.data(), argument.data(), nullptr};
        pid_t pid; // not QProcess: valgrind takes its wait for a fault
        if (posix_spawn(&pid, arguments[0], nullptr, nullptr, arguments, environ) == 0)
            waitpid(pid, nullptr, 0);
        // Made under a name leftovers.sh passes over, and named once locked: a
        // run starting meanwhile never takes it for a dead run's.
        QByteArray made = QFile::encodeName(QDir::tempPath() + "/.vr-" + test + "-XXXXXX");
        if (!mkdtemp(made.data()) ||
            (lock = open(made.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) < 0 ||
            flock(lock, LOCK_EX) != 0 ||
            std::rename(made.constData(), QFile::encodeName(prefix + made.right(6))) != 0)
            qFatal("cannot make a scratch folder in %s", qPrintable(QDir::tempPath()));
        folder = prefix + made.right(6);
        qputenv("TMPDIR", QFile::encodeName(folder));
#else
        Q_UNUSED(test);
#endif
    }
    ~RunScratch()
    {
#ifdef LEFTOVERS
        QDir(folder).removeRecursively();
        close(lock);
#endif
    }
    RunScratch(const RunScratch &) = delete;
    RunScratch &operator=(const RunScratch &) = delete;

private:
    QString folder;
    int lock = -1;
};

#ifdef SLOWFS
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <sys/mount.h>
#include <sys/vfs.h>

// A folder shown at `mountPoint` through the slowfs test server, each request
// answered after `delay` milliseconds, or "never": a slow disk, or a drive
// that does not answer. Mounting needs /dev/fuse and the right to mount.
class SlowMount {
public:
    SlowMount(const QString &folder, const QString &mountPoint, const QString &delay)
        : mountPoint(mountPoint), peakFile(mountPoint + ".peak")
    {
        QDir().mkpath(folder);
        QDir().mkpath(mountPoint);
        server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server.start(SLOWFS, {folder, mountPoint, delay, peakFile});
        server.waitForStarted();
        QElapsedTimer waited;
        waited.start();
        while (server.state() != QProcess::NotRunning && !mounted() && waited.elapsed() < 10000)
            QThread::msleep(10);
    }
    ~SlowMount()
    {
        server.terminate();
        if (!server.waitForFinished(10000))
            server.kill(), server.waitForFinished();
        // What the server could not unmount (a reader still in it) goes lazily.
        umount2(QFile::encodeName(mountPoint).constData(), MNT_DETACH);
    }
    // Looked at without asking the mount itself, which may never answer.
    bool mounted() const
    {
        QFile mounts("/proc/self/mountinfo");
        return mounts.open(QIODevice::ReadOnly) &&
               mounts.readAll().contains(" " + QFile::encodeName(mountPoint) + " ");
    }
    // The most requests the server held at once, once it has ended.
    int peak()
    {
        server.terminate();
        server.waitForFinished(10000);
        return readFile(peakFile).trimmed().toInt();
    }

    const QString mountPoint;
    const QString peakFile;
    QProcess server;
};
#endif
