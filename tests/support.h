#pragma once

#include <QDir>
#include <QFile>

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
