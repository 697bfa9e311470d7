// Refresh of generated renames logs of 1, 10 and 100 MB from the page cache:
// the viewer's whole Refresh (read, split, decode, show in the log text box)
// against reading the file in one call, decoding it and giving it to the same
// kind of text widget. Each load runs in a process of its own, so that its
// peak memory can be told apart; ours and the baseline take turns.
//
// With --shapes, the viewer's Refresh of logs of the worst line structures
// (one line with no blank, NUL bytes, only line feeds, only CRs, only empty
// lines, short lines with line feeds and line ends mixed) against its
// Refresh of an ordinary log of the same size, in turns; and the time to go
// to the log's end (Ctrl+End) and show it.
//
// usage: bench_refresh [RUNS] [SIZES_MB...]
//        bench_refresh --shapes [RUNS] [SIZES_MB...]
//        bench_refresh --load ours|baseline FILE     (one load, used by the above)

#include "benchutil.h"
#include "logviewer.h"
#include "offscreen.h"
#include "services.h"
#include "singlewindow.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

// A field of /proc/self/status in kB ("VmRSS", "VmHWM").
long statusKb(const char *field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0)
            return std::atol(line.c_str() + key.size());
    }
    return -1;
}

void settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

// One load in this process; prints its time in ms and its peak memory growth in kB.
int loadOnce(int argc, char *argv[], const std::string &kind, const QString &path)
{
    bench::useQuietOffscreenPlatform();
    QApplication app(argc, argv);
    QFont font = QApplication::font();
    font.setPointSize(8);
    QApplication::setFont(font);

    bool failed = false;
    windowing::setMessageSink([&failed](const QString &) { failed = true; });
    double ms = 0;
    double endMs = 0;
    long before = 0;
    if (kind == "ours") {
        windowing::Single<Renames>::show();
        Renames &viewer = windowing::Single<Renames>::get();
        viewer.findChild<QLineEdit *>(QStringLiteral("Text2"))->setText(path);
        auto *refresh = viewer.findChild<QPushButton *>(QStringLiteral("OKButton"));
        settle();
        before = statusKb("VmRSS");
        const double t0 = bench::nowMs();
        refresh->click();
        QCoreApplication::processEvents();
        ms = bench::nowMs() - t0;
        auto *box = viewer.findChild<QPlainTextEdit *>(QStringLiteral("Text1"));
        failed = failed || box->document()->isEmpty();
        const double t1 = bench::nowMs();
        QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
        QCoreApplication::sendEvent(box, &end);
        QCoreApplication::processEvents();
        endMs = bench::nowMs() - t1;
        failed = failed || !box->textCursor().atEnd();
    } else {
        QPlainTextEdit box;
        box.setFixedSize(449, 321);
        box.setLineWrapMode(QPlainTextEdit::WidgetWidth);
        box.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        box.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        box.show();
        settle();
        before = statusKb("VmRSS");
        const double t0 = bench::nowMs();
        QFile file(path);
        failed = !file.open(QIODevice::ReadOnly);
        box.setPlainText(QString::fromLocal8Bit(file.readAll()));
        QCoreApplication::processEvents();
        ms = bench::nowMs() - t0;
        failed = failed || box.document()->isEmpty();
    }
    const long growth = statusKb("VmHWM") - before;
    windowing::setMessageSink({});
    windowing::unloadAll();
    if (failed) {
        std::fprintf(stderr, "loading %s failed\n", qPrintable(path));
        return 1;
    }
    std::printf("%.3f %ld %.3f\n", ms, growth, endMs);
    return 0;
}

// Log lines of 20 to 200 characters, ended by CR LF, a lone CR or a lone LF,
// with now and then a Windows-1252 byte such as an accented letter.
void writeLog(const std::filesystem::path &path, size_t bytes)
{
    std::mt19937 random(20030704);
    std::string text;
    text.reserve(bytes + 256);
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz ABCDEFGHIJ0123456789.-";
    while (text.size() < bytes) {
        const int length = std::uniform_int_distribution<int>(20, 200)(random);
        for (int i = 0; i < length; ++i) {
            if (random() % 97 == 0)
                text.push_back(static_cast<char>(0x80 + random() % 0x80));
            else
                text.push_back(letters[random() % (sizeof letters - 1)]);
        }
        const unsigned end = random() % 10;
        text += end < 7 ? "\r\n" : end < 9 ? "\r" : "\n";
    }
    text.resize(bytes);
    std::ofstream(path, std::ios::binary) << text;
}

// The worst line structures for a text box, `bytes` long.
void writeShape(const std::filesystem::path &path, const std::string &shape, size_t bytes)
{
    std::mt19937 random(20030704);
    std::string text;
    if (shape == "no-blank") {
        static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
        text.resize(bytes);
        for (char &c : text)
            c = letters[random() % (sizeof letters - 1)];
    } else if (shape == "nul") {
        text.assign(bytes, '\0');
    } else if (shape == "lf-only") {
        text.reserve(bytes + 64);
        while (text.size() < bytes) {
            text += "Rename levl" + std::to_string(random() % 10000) + ".DAT to levl" +
                    std::to_string(random() % 10000) + ".DAT OK\n";
        }
        text.resize(bytes);
    } else if (shape == "cr-only") {
        text.assign(bytes, '\r');
    } else if (shape == "mixed-ends") {
        // Short lines ended by a line feed or a CR LF at random: every
        // paragraph of the box records a different pattern of the two.
        text.reserve(bytes + 64);
        while (text.size() < bytes) {
            text.append(5 + random() % 36, char('a' + random() % 26));
            text += random() % 2 ? "\n" : "\r\n";
        }
        text.resize(bytes);
    } else if (shape == "empty-lines") {
        text.reserve(bytes);
        while (text.size() + 2 <= bytes)
            text += "\r\n";
    }
    std::ofstream(path, std::ios::binary) << text;
}

struct Child {
    double ms;
    long kb;
    double endMs;
};

// Runs a command with its stdout read back; wall time fork to exit.
Child run(std::vector<std::string> args, bool discardOutput)
{
    int out[2];
    if (pipe(out) != 0)
        std::exit(1);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (discardOutput)
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    else
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, out[1]);
    std::vector<char *> argv;
    for (std::string &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    const double t0 = bench::nowMs();
    pid_t pid;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        std::perror(argv[0]);
        std::exit(1);
    }
    close(out[1]);
    std::string output;
    char buffer[256];
    ssize_t n;
    while ((n = read(out[0], buffer, sizeof buffer)) != 0) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            break;
        output.append(buffer, static_cast<size_t>(n));
    }
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    const double ms = bench::nowMs() - t0;
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", args[0].c_str());
        std::exit(1);
    }
    Child child{ms, 0, 0};
    if (!discardOutput &&
        std::sscanf(output.c_str(), "%lf %ld %lf", &child.ms, &child.kb, &child.endMs) != 3) {
        std::fprintf(stderr, "unexpected output from a load: %s\n", output.c_str());
        std::exit(1);
    }
    return child;
}

void warm(const std::filesystem::path &path)
{
    std::ifstream file(path, std::ios::binary);
    std::vector<char> buffer(1 << 20);
    while (file.read(buffer.data(), static_cast<std::streamsize>(buffer.size())))
        ;
}

// Each shape against an ordinary log of the same size, loads taking turns.
int shapes(int runs, const std::vector<int> &sizes, const std::string &self, const char *scratch)
{
    static const char *const names[] = {"no-blank", "nul",         "lf-only",
                                        "cr-only",  "empty-lines", "mixed-ends"};
    constexpr size_t Shapes = std::size(names);
    std::vector<std::vector<double>> median(Shapes, std::vector<double>(sizes.size()));
    for (size_t s = 0; s < sizes.size(); ++s) {
        const size_t bytes = size_t(sizes[s]) * 1000 * 1000;
        const std::string size = std::to_string(sizes[s]) + "MB";
        const auto ordinary = std::filesystem::path(scratch) / ("ordinary-" + size + ".txt");
        writeLog(ordinary, bytes);
        for (size_t k = 0; k < Shapes; ++k) {
            const auto log = std::filesystem::path(scratch) / (std::string(names[k]) + ".txt");
            writeShape(log, names[k], bytes);
            warm(log);
            warm(ordinary);
            std::vector<double> ms, baseMs, mb, baseMb, end, baseEnd;
            for (int i = 0; i < runs; ++i) {
                const Child a = run({self, "--load", "ours", log.string()}, false);
                const Child b = run({self, "--load", "ours", ordinary.string()}, false);
                ms.push_back(a.ms);
                mb.push_back(a.kb / 1024.0);
                end.push_back(a.endMs);
                baseMs.push_back(b.ms);
                baseMb.push_back(b.kb / 1024.0);
                baseEnd.push_back(b.endMs);
            }
            const std::string name = std::string("shape.") + names[k] + "." + size;
            bench::report(name + ".time", ms, baseMs, "ms");
            bench::report(name + ".peak-growth", mb, baseMb, "MB");
            bench::report(name + ".to-end", end, baseEnd, "ms");
            median[k][s] = bench::median(ms);
            std::filesystem::remove(log);
        }
        std::filesystem::remove(ordinary);
    }
    // Cost per size step: 10x the bytes should cost about 10x the time.
    for (size_t k = 0; k < Shapes; ++k) {
        for (size_t s = 1; s < sizes.size(); ++s) {
            const std::string name = std::string("shape.") + names[k] + ".time-" +
                                     std::to_string(sizes[s]) + "MB/" +
                                     std::to_string(sizes[s - 1]) + "MB";
            std::printf("%-36s %8.3f x   size %dx\n", name.c_str(), median[k][s] / median[k][s - 1],
                        sizes[s] / std::max(1, sizes[s - 1]));
        }
    }
    std::filesystem::remove_all(scratch);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc == 4 && std::strcmp(argv[1], "--load") == 0) {
        int qtArgc = 1;
        return loadOnce(qtArgc, argv, argv[2], QString::fromLocal8Bit(argv[3]));
    }
    const bool withShapes = argc > 1 && std::strcmp(argv[1], "--shapes") == 0;
    if (withShapes) {
        --argc;
        ++argv;
    }
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    std::vector<int> sizes;
    for (int i = 2; i < argc; ++i)
        sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty())
        sizes = {1, 10, 100};

    char scratchTemplate[] = "/tmp/vr-bench-refresh-XXXXXX";
    const char *scratch = mkdtemp(scratchTemplate);
    if (!scratch)
        return 1;
    const std::string self = std::filesystem::canonical("/proc/self/exe").string();
    if (withShapes)
        return shapes(runs, sizes, self, scratch);

    std::vector<double> oursMedian(sizes.size()), baseMedian(sizes.size());
    for (size_t s = 0; s < sizes.size(); ++s) {
        const auto log =
            std::filesystem::path(scratch) / ("Renames-" + std::to_string(sizes[s]) + "MB.txt");
        writeLog(log, size_t(sizes[s]) * 1000 * 1000);
        warm(log);
        std::vector<double> oursMs, baseMs, oursMb, baseMb;
        for (int i = 0; i < runs; ++i) {
            const Child a = run({self, "--load", "ours", log.string()}, false);
            const Child b = run({self, "--load", "baseline", log.string()}, false);
            oursMs.push_back(a.ms);
            oursMb.push_back(a.kb / 1024.0);
            baseMs.push_back(b.ms);
            baseMb.push_back(b.kb / 1024.0);
        }
        const std::string size = std::to_string(sizes[s]) + "MB";
        bench::report("refresh." + size + ".time", oursMs, baseMs, "ms");
        bench::report("refresh." + size + ".peak-growth", oursMb, baseMb, "MB");
        oursMedian[s] = bench::median(oursMs);
        baseMedian[s] = bench::median(baseMs);

        if (s + 1 == sizes.size()) {
            std::vector<double> cat;
            for (int i = 0; i < runs; ++i)
                cat.push_back(run({"cat", log.string()}, true).ms);
            bench::reportOne("floor.cat-" + size, cat, "ms");
        }
    }
    // Cost per size step: 10x the bytes should cost about 10x the time.
    for (size_t s = 1; s < sizes.size(); ++s) {
        const std::string name = "refresh.time-" + std::to_string(sizes[s]) + "MB/" +
                                 std::to_string(sizes[s - 1]) + "MB";
        std::printf("%-28s ours %10.3f x   baseline %10.3f x   size %dx\n", name.c_str(),
                    oursMedian[s] / oursMedian[s - 1], baseMedian[s] / baseMedian[s - 1],
                    sizes[s] / std::max(1, sizes[s - 1]));
    }
    std::filesystem::remove_all(scratch);
    return 0;
}
