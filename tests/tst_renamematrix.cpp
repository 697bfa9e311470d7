// The rename primitive against real files in a scratch folder, in plain C++
// so that the same cases run on every platform the primitive is built for.
// Each case checks the code the user would see and that every file in the
// folder is still there, byte for byte, under the name it should have.
//
// Optional folders, passed by the runner where it could set them up:
//   --scratch FOLDER      where the cases run (else a new temporary folder)
//   --other-disk FOLDER   a folder on another file system than the scratch one
//   --read-only FOLDER    a read-only folder holding a file "kept"
//   --fuse-fat 1          the scratch folder is FAT through FUSE, where names
//                         beyond ASCII and renaming a folder holding anything
//                         must be refused
//
// On POSIX every case runs down each way the primitive can take, and the
// level file is also renamed while other programs write to the target name.

#include "rename.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#ifndef _WIN32
#include <atomic>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using namespace platform;

namespace {

#ifdef _WIN32
constexpr bool OnWindows = true;
#else
constexpr bool OnWindows = false;
#endif

// A name given in UTF-8, as the native path it stands for.
fs::path u8(const std::string &name)
{
    return fs::path(std::u8string(name.begin(), name.end()));
}

std::string asUtf8(const fs::path &path)
{
    const std::u8string s = path.generic_u8string();
    return std::string(s.begin(), s.end());
}

const std::string FolderMark = "<folder>";

// Every entry under `root`, by its name relative to it, with its bytes.
using Tree = std::map<std::string, std::string>;

Tree treeOf(const fs::path &root)
{
    Tree tree;
    for (const auto &entry : fs::recursive_directory_iterator(root)) {
        const std::string name = asUtf8(fs::relative(entry.path(), root));
        if (entry.is_directory()) {
            tree[name] = FolderMark;
            continue;
        }
        std::ifstream in(entry.path(), std::ios::binary);
        tree[name] = std::string(std::istreambuf_iterator<char>(in), {});
    }
    return tree;
}

// The tree after `from` got the name `to`, with everything inside it.
Tree renamedIn(const Tree &before, const std::string &from, std::string to)
{
    while (to.size() > 1 && to.back() == '/')
        to.pop_back();
    Tree after;
    for (const auto &[name, bytes] : before) {
        if (name == from)
            after[to] = bytes;
        else if (name.rfind(from + "/", 0) == 0)
            after[to + name.substr(from.size())] = bytes;
        else
            after[name] = bytes;
    }
    return after;
}

std::string describe(const Tree &tree)
{
    std::ostringstream out;
    for (const auto &[name, bytes] : tree)
        out << "  " << name << " = " << (bytes.size() > 40 ? bytes.substr(0, 40) + "..." : bytes)
            << "\n";
    return out.str();
}

struct Entry {
    std::string name;  // UTF-8, '/' between folders
    std::string bytes; // FolderMark for a folder
};

struct Case {
    const char *title;
    std::vector<Entry> files;
    std::string from;
    std::string to;
    int code;                 // on success `from` now carries the name `to`, else nothing changes
    int orRefused = RenameOk; // a code the file system may refuse with instead
};

const std::string LongName(300, 'x');

// Set when the scratch folder is FAT through FUSE, whose driver would lose a
// file over names beyond ASCII and what a folder holds on renaming it.
bool fuseFat = false;

std::string longPath()
{
    std::string path;
    for (int i = 0; i < 40; ++i)
        path += std::string(200, 'p') + "/";
    return path + "levl1.DAT";
}

const std::vector<Entry> level = {{"levl2131.DAT", "level 2131"}, {"other.DAT", "other"}};

std::vector<Case> cases()
{
    const int refusedName = OnWindows ? BadFileName : RenameOk;
    // exFAT and FAT refuse what Windows refuses; FAT through FUSE also
    // anything beyond ASCII.
    const int notOnFat = OnWindows ? RenameOk : BadFileName;
    const int notOnFuseFat = fuseFat ? BadFileName : RenameOk;
    // That driver refuses to rename a folder holding anything.
    const int folderRefused = fuseFat ? PermissionDenied : RenameOk;
    const std::vector<Entry> folder = {{"levl2131.DAT", FolderMark}, {"levl2131.DAT/in", "in"}};
    return {
        {"renames", level, "levl2131.DAT", "levl2001.DAT", RenameOk},
        {"source missing", level, "levl9.DAT", "levl2001.DAT", FileNotFound},
        {"target present", level, "levl2131.DAT", "other.DAT", FileAlreadyExists},
        {"target is a folder",
         {{"levl2131.DAT", "level"}, {"levl2001.DAT", FolderMark}, {"levl2001.DAT/in", "in"}},
         "levl2131.DAT",
         "levl2001.DAT",
         FileAlreadyExists},
        {"source is a folder", folder, "levl2131.DAT", "levl2001.DAT", RenameOk, folderRefused},
        {"folder onto a file",
         {{"levl2131.DAT", FolderMark}, {"levl2001.DAT", "kept"}},
         "levl2131.DAT",
         "levl2001.DAT",
         FileAlreadyExists},
        {"missing folder in the source", level, "gone/levl2131.DAT", "levl2001.DAT", PathNotFound},
        {"missing folder in the target", level, "levl2131.DAT", "gone/levl2001.DAT", PathNotFound},
        {"over-long name", level, "levl2131.DAT", LongName, BadFileName},
        {"over-long path", level, "levl2131.DAT", longPath(),
         OnWindows ? PathNotFound : BadFileName},
        {"NUL in the name", level, "levl2131.DAT", std::string("levl\0.DAT", 9), BadFileName},
        {"question mark", level, "levl2131.DAT", "levl?.DAT", refusedName, notOnFat},
        {"star", level, "levl2131.DAT", "levl*.DAT", refusedName, notOnFat},
        {"angle brackets", level, "levl2131.DAT", "levl<1>.DAT", refusedName, notOnFat},
        {"bar", level, "levl2131.DAT", "levl|.DAT", refusedName, notOnFat},
        {"quote", level, "levl2131.DAT", "levl\".DAT", refusedName, notOnFat},
        {"accent", level, "levl2131.DAT", "levl\xc3\xa9.DAT", RenameOk, notOnFuseFat},
        {"kanji", level, "levl2131.DAT", "levl\xe6\x97\xa5\xe6\x9c\xac.DAT", RenameOk,
         notOnFuseFat},
        {"blanks", {{"levl 21 .DAT", "b"}}, "levl 21 .DAT", "levl  .DAT", RenameOk},
        {"empty number", level, "levl2131.DAT", "levl.DAT", RenameOk},
        // The platform decides; either way nothing is lost.
        {"equal names", level, "levl2131.DAT", "levl2131.DAT",
         OnWindows ? RenameOk : FileAlreadyExists},
#ifndef _WIN32
        {"file to a name ending in a slash", level, "levl2131.DAT", "levl2001.DAT/", PathNotFound},
        {"folder to a name ending in a slash", folder, "levl2131.DAT", "levl2001.DAT/", RenameOk,
         folderRefused},
#endif
    };
}

int failures = 0;

void fail(const std::string &title, const std::string &why)
{
    ++failures;
    std::printf("FAIL   %s: %s\n", title.c_str(), why.c_str());
}

// Empties the scratch folder, which stays the current one.
void clear(const fs::path &root)
{
    for (const auto &entry : fs::directory_iterator(root))
        fs::remove_all(entry.path());
}

bool make(const fs::path &root, const std::vector<Entry> &files)
{
    for (const Entry &entry : files) {
        const fs::path path = root / u8(entry.name);
        if (entry.bytes == FolderMark) {
            fs::create_directories(path);
            continue;
        }
        std::ofstream out(path, std::ios::binary);
        out << entry.bytes;
        if (!out)
            return false;
    }
    return true;
}

void check(const std::string &title, int code, int expected, const Tree &after, const Tree &wanted)
{
    if (code != expected)
        fail(title, "code " + std::to_string(code) + ", expected " + std::to_string(expected));
    else if (after != wanted)
        fail(title, "files now\n" + describe(after) + "expected\n" + describe(wanted));
    else
        std::printf("PASS   %s\n", title.c_str());
}

void runCase(const fs::path &root, const Case &c, const std::string &way)
{
    const std::string title = way + c.title;
    clear(root);
    if (!make(root, c.files))
        return fail(title, "cannot set up the files");
    const Tree before = treeOf(root);
    const int code = renameNoReplace(u8(c.from), u8(c.to));
    const bool refused = c.orRefused != RenameOk && code == c.orRefused;
    const int expected = refused ? code : c.code;
    const Tree wanted = expected == RenameOk ? renamedIn(before, c.from, c.to) : before;
    check(title, code, expected, treeOf(root), wanted);
}

// Only the letter case differs. A file system that tells them apart renames;
// one that does not may report success and keep or change the case, but the
// file stays, alone, reachable under both spellings.
void caseOnly(const fs::path &root)
{
    clear(root);
    make(root, {{"levl2131.DAT", "level"}});
    const int code = renameNoReplace(u8("levl2131.DAT"), u8("levl2131.dat"));
    const Tree after = treeOf(root);
    if (code != RenameOk)
        return fail("letter case", "code " + std::to_string(code));
    if (after.size() != 1 || after.begin()->second != "level")
        return fail("letter case", "files now\n" + describe(after));
    std::ifstream in(root / u8("levl2131.dat"), std::ios::binary);
    if (std::string(std::istreambuf_iterator<char>(in), {}) != "level")
        return fail("letter case", "not reachable under the new name");
    std::printf("PASS   letter case (name now %s)\n", after.begin()->first.c_str());

    if (OnWindows)
        return; // cannot hold both spellings
    make(root, {{"levl2131.DAT", "upper"}});
    const Tree before = treeOf(root);
    check("letter case, both present", renameNoReplace(u8("levl2131.DAT"), u8("levl2131.dat")),
          FileAlreadyExists, treeOf(root), before);
}

void otherDisk(const fs::path &root, const fs::path &other)
{
    for (const std::string kind : {"file", "folder"}) {
        const std::string title = kind + " to another disk";
        clear(root);
        make(root, {{"levl2131.DAT", kind == "file" ? "level" : FolderMark}});
        const fs::path target = other / u8("levl2001.DAT");
        fs::remove_all(target);
        const Tree before = treeOf(root);
        const int code = renameNoReplace(u8("levl2131.DAT"), target);
        check(title, code, RenameAcrossDisks, treeOf(root), before);
        if (fs::exists(target))
            fail(title, "a copy was left on the other disk");
    }
}

void readOnly(const fs::path &folder)
{
    const Tree before = treeOf(folder);
    const int code = renameNoReplace(folder / u8("kept"), folder / u8("moved"));
    check("read-only folder", code, PermissionDenied, treeOf(folder), before);
}

#ifndef _WIN32
// Two other programs write records to the target name while the level file
// is renamed onto it and back: one appends (opening the name as fopen "a"
// does), one creates the name exclusively. A refused rename moves their file
// aside and tries again. Afterwards the level file must start with its own
// bytes and every record either side wrote must be in some file, once. Only
// the last resort may lose records, and only ones written into a file a
// writer itself created in the moment between its check and its rename.
void race(const fs::path &root, const char *way, bool lastResort)
{
    constexpr int Renames = 300;
    constexpr int MaxRecords = 200000;
    clear(root);
    const std::string levelBytes = "level 3000\n";
    make(root, {{"levl3000.DAT", levelBytes}, {"spilled", FolderMark}});
    std::atomic<bool> stop = false;
    std::atomic<int> running = 0;
    int written[2] = {};
    // When each writer created a file, and into which file and when each
    // record went; inode numbers come back once a file is gone, the ticks tell
    // which life of a number a record met.
    using Stamp = std::pair<ino_t, long>;
    std::atomic<long> clock = 0;
    std::vector<Stamp> created[2], fileOf[2];
    auto writer = [&](int side) {
        ++running;
        for (int i = 0; !stop && written[side] < MaxRecords && i < 50 * MaxRecords; ++i) {
            int fd = side == 0 ? open("levl3001.DAT", O_WRONLY | O_APPEND | O_CLOEXEC) : -1;
            const bool creating = fd < 0;
            const long tick = clock++; // before any other writer can reach the file
            if (creating)
                fd = open("levl3001.DAT", O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            struct stat file;
            if (fd < 0 || fstat(fd, &file) != 0)
                continue;
            if (creating)
                created[side].push_back({file.st_ino, tick});
            char record[16];
            std::snprintf(record, sizeof record, "%c%06d\n", "AB"[side], written[side]);
            if (write(fd, record, 8) == 8) {
                fileOf[side].push_back({file.st_ino, clock++});
                ++written[side];
            }
            close(fd);
        }
    };
    std::thread appender(writer, 0), creator(writer, 1);
    while (running < 2)
        std::this_thread::yield();
    int done = 0, spilled = 0;
    std::string problem;
    for (int i = 0; i < Renames && problem.empty(); ++i) {
        const int code = renameNoReplace("levl3000.DAT", "levl3001.DAT");
        if (code == RenameOk) {
            ++done;
            const int back = renameNoReplace("levl3001.DAT", "levl3000.DAT");
            if (back != RenameOk)
                problem = "renaming back gave " + std::to_string(back);
        } else if (code == FileAlreadyExists) {
            std::rename("levl3001.DAT", ("spilled/" + std::to_string(spilled++)).c_str());
        } else {
            problem = "code " + std::to_string(code);
        }
    }
    stop = true;
    appender.join();
    creator.join();

    std::set<std::string> found;
    for (const auto &[name, bytes] : treeOf(root)) {
        if (bytes == FolderMark)
            continue;
        std::string records = bytes;
        if (name == "levl3000.DAT") {
            if (bytes.rfind(levelBytes, 0) != 0)
                problem += " the level file lost its bytes;";
            records.erase(0, levelBytes.size());
        }
        for (size_t at = 0; at + 8 <= records.size(); at += 8)
            if (!found.insert(records.substr(at, 8)).second)
                problem += " record " + records.substr(at, 7) + " twice;";
        if (records.size() % 8 != 0)
            problem += " " + name + " holds a partial record;";
    }
    int lostInGap = 0, lostElsewhere = 0;
    for (int side : {0, 1})
        for (int n = 0; n < written[side]; ++n) {
            char record[16];
            std::snprintf(record, sizeof record, "%c%06d\n", "AB"[side], n);
            if (found.count(record))
                continue;
            const auto [file, when] = fileOf[side][n];
            const auto byWriter = [&](const Stamp &c) {
                return c.first == file && c.second < when;
            };
            if (lastResort && (std::ranges::any_of(created[0], byWriter) ||
                               std::ranges::any_of(created[1], byWriter)))
                ++lostInGap;
            else
                ++lostElsewhere;
        }
    const std::string title = std::string("race, ") + way;
    const std::string figures = std::to_string(done) + " of " + std::to_string(Renames) +
                                " renames, " + std::to_string(written[0]) + " appended, " +
                                std::to_string(written[1]) + " created, " +
                                std::to_string(lostElsewhere + lostInGap) + " lost (" +
                                std::to_string(lostInGap) + " in the gap)";
    if (lostElsewhere != 0 || !problem.empty())
        return fail(title, figures + problem);
    std::printf("PASS   %s: %s\n", title.c_str(), figures.c_str());
}

// Each way this file system offers, found as the primitive finds it, then
// the last resort, which every file system can be left with.
void races(const fs::path &root)
{
    clear(root);
    make(root, {{"a", ""}});
    bool noExclusive = false, noLink = false;
    detail::renameExclusive("a", "b", noExclusive);
    detail::renameByLink(noExclusive ? "a" : "b", "c", noLink);
    detail::FallbackSeam &seam = detail::fallbackSeam();
    if (noExclusive)
        std::printf("SKIP   race, no-replace: this file system lacks it\n");
    else
        race(root, "no-replace", false);
    seam.exclusiveUnsupported = true;
    if (noLink)
        std::printf("SKIP   race, link: this file system lacks hard links\n");
    else
        race(root, "link", false);
    seam.linkUnsupported = true;
    // That driver, left alone with two writers, repeats and drops their
    // records and at times hangs: it would measure itself, not the rename.
    if (fuseFat)
        std::printf("SKIP   race, last resort: FAT through FUSE mishandles concurrent writers\n");
    else
        race(root, "last resort", true);
    seam = {};
}
#endif

} // namespace

int main(int argc, char **argv)
{
    // Each line as it happens, so that a run ended by its time limit shows
    // where it stood.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    fs::path scratch, otherFolder, readOnlyFolder;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--scratch")
            scratch = argv[i + 1];
        else if (option == "--other-disk")
            otherFolder = argv[i + 1];
        else if (option == "--read-only")
            readOnlyFolder = argv[i + 1];
        else if (option == "--fuse-fat")
            fuseFat = true;
    }
    const bool ownScratch = scratch.empty();
    if (ownScratch)
        scratch = fs::temp_directory_path() /
                  ("vr-renamematrix-" + std::to_string(std::random_device{}()));
    const fs::path root = fs::absolute(scratch);
    fs::create_directories(root);
    const fs::path home = fs::current_path();
    // Names resolve against the current folder, as they do in the program.
    fs::current_path(root);

#ifdef _WIN32
    for (const Case &c : cases())
        runCase(root, c, "");
#else
    // The same cases down each way the primitive can take, as it must on a
    // file system that lacks the better ones.
    detail::FallbackSeam &seam = detail::fallbackSeam();
    for (const int way : {0, 1, 2}) {
        seam.exclusiveUnsupported = way > 0;
        seam.linkUnsupported = way > 1;
        for (const Case &c : cases())
            runCase(root, c, std::array{"", "link, ", "last resort, "}[way]);
    }
    seam = {};
#endif
    caseOnly(root);
    if (otherFolder.empty())
        std::printf("SKIP   other disk: no --other-disk folder given\n");
    else
        otherDisk(root, otherFolder);
    if (readOnlyFolder.empty())
        std::printf("SKIP   read-only folder: no --read-only folder given\n");
    else
        readOnly(readOnlyFolder);
#ifndef _WIN32
    races(root);
#endif

    fs::current_path(home);
    std::error_code error;
    clear(root);
    if (ownScratch)
        fs::remove(root, error);
    std::printf("%d failed\n", failures);
    return failures == 0 ? 0 : 1;
}
