// What the file layer leaves on disk: a write through links, onto things that are not
// files, or by a user who may not write; the leftovers of a killed save and what is
// cleaned after it; the copy a repair keeps; reads at their size limit.
#include "storage/FileIo.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "support/FileSizeLimit.h"
#include "support/TempDir.h"

namespace halvern {
namespace {

namespace fs = std::filesystem;

std::span<const std::byte> Bytes(std::string_view s) { return std::as_bytes(std::span(s.data(), s.size())); }

std::string Text(const fs::path& p) {
    auto bytes = test::ReadAll(p);
    return std::string(bytes.begin(), bytes.end());
}

void PutText(const fs::path& p, std::string_view s) { test::WriteAll(p, {s.begin(), s.end()}); }

std::vector<std::string> Names(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

struct stat LinkStat(const fs::path& p) {
    struct stat st {};
    ::lstat(p.c_str(), &st);
    return st;
}

// Runs `work` in a child process that the kernel kills once it has written `limit`
// bytes to a file, as a crash or a power cut stops a save part-way.
void KilledPartWay(const std::function<void()>& work, rlim_t limit) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        test::FileSizeLimit cap(limit);
        work();
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << "the write was expected to be cut off";
}

const std::string kLarge(100000, 'n');

TEST(AtomicWrite, AChainOfLinksIsWrittenThroughAndEveryLinkStays) {
    test::TempDir dir;
    fs::create_directories(dir / "real");
    fs::create_directories(dir / "elsewhere");
    PutText(dir / "real/store", "old");
    ::chmod((dir / "real/store").c_str(), 0640);
    fs::create_symlink("../real/store", dir / "elsewhere/middle");  // relative to its own folder
    fs::create_symlink(dir / "elsewhere/middle", dir / "first");

    ASSERT_FALSE(WriteFileAtomically(dir / "first", Bytes("new")));
    EXPECT_TRUE(fs::is_symlink(dir / "first"));
    EXPECT_TRUE(fs::is_symlink(dir / "elsewhere/middle"));
    EXPECT_EQ(Text(dir / "real/store"), "new");
    EXPECT_EQ(LinkStat(dir / "real/store").st_mode & 07777, 0640u);
    EXPECT_EQ(Names(dir / "real"), std::vector<std::string>{"store"});
}

TEST(AtomicWrite, AKilledWriteThroughALinkLeavesTheTargetWholeAndItsLeftoverBesideIt) {
    test::TempDir dir;
    fs::create_directories(dir / "target");
    fs::create_directories(dir / "links");
    PutText(dir / "target/store", "old");
    fs::create_symlink("../target/store", dir / "links/store");

    KilledPartWay([&] { WriteFileAtomically(dir / "links/store", Bytes(kLarge)); }, 1000);
    EXPECT_EQ(Text(dir / "target/store"), "old");
    EXPECT_EQ(Names(dir / "links"), std::vector<std::string>{"store"});
    auto names = Names(dir / "target");
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0].rfind(".store.tmp-", 0), 0u) << names[0];
}

TEST(AtomicWrite, ADanglingLinkCreatesItsTargetButNotItsFolder) {
    test::TempDir dir;
    fs::create_directories(dir / "made");
    fs::create_symlink("made/new.pro", dir / "link");
    ASSERT_FALSE(WriteFileAtomically(dir / "link", Bytes("data")));
    EXPECT_TRUE(fs::is_symlink(dir / "link"));
    EXPECT_EQ(Text(dir / "made/new.pro"), "data");
    EXPECT_EQ(LinkStat(dir / "made/new.pro").st_mode & 07777, 0644u);

    fs::create_symlink("missing/new.pro", dir / "nowhere");
    auto error = WriteFileAtomically(dir / "nowhere", Bytes("data"));
    ASSERT_TRUE(error);
    EXPECT_NE(error->find("nowhere: cannot write: No such file or directory"), std::string::npos) << *error;
    EXPECT_TRUE(fs::is_symlink(dir / "nowhere"));
    EXPECT_FALSE(fs::exists(dir / "missing"));
}

TEST(AtomicWrite, ALinkLoopIsAnErrorAndStaysALoop) {
    test::TempDir dir;
    fs::create_symlink("b", dir / "a");
    fs::create_symlink("a", dir / "b");
    auto error = WriteFileAtomically(dir / "a", Bytes("data"));
    ASSERT_TRUE(error);
    EXPECT_NE(error->find("Too many levels of symbolic links"), std::string::npos) << *error;
    EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(fs::is_symlink(dir / "a"));
}

TEST(AtomicWrite, WhatIsNotARegularFileIsRefusedAndLeftAsItIs) {
    test::TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    fs::create_symlink("pipe", dir / "to-pipe");
    fs::create_directories(dir / "folder");
    PutText(dir / "folder/inside", "kept");
    std::vector<fs::path> refused = {dir / "pipe", dir / "to-pipe", dir / "folder"};
    // A device node of our own (the null device's numbers), where the system lets us make one.
    if (::mknod((dir / "device").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) refused.push_back(dir / "device");
    const auto before = Names(dir.path());

    for (const fs::path& path : refused) {
        auto error = WriteFileAtomically(path, Bytes("data"));
        ASSERT_TRUE(error) << path;
        EXPECT_EQ(error->rfind(path.string() + ": cannot write: ", 0), 0u) << *error;
        EXPECT_TRUE(error->ends_with("not a regular file") || error->ends_with("is a folder")) << *error;
    }
    EXPECT_EQ(Names(dir.path()), before) << "nothing replaced, no temporary file left";
    EXPECT_TRUE(S_ISFIFO(LinkStat(dir / "pipe").st_mode));
    EXPECT_TRUE(S_ISLNK(LinkStat(dir / "to-pipe").st_mode));
    EXPECT_EQ(Text(dir / "folder/inside"), "kept");
    if (refused.size() == 4) { EXPECT_TRUE(S_ISCHR(LinkStat(dir / "device").st_mode)); }
}

// Runs `work` as a user other than root when the test runs as root (root may write any
// file, so a refusal needs someone it applies to), and returns what it reported.
std::string AsAnotherUser(const std::function<std::string()>& work) {
    if (::geteuid() != 0) return work();
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return "no pipe";
    pid_t child = fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        constexpr uid_t kNobody = 65534;
        std::string report = ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0
                                 ? work()
                                 : "could not become another user";
        [[maybe_unused]] ssize_t n = ::write(pipeFds[1], report.data(), report.size());
        _exit(0);
    }
    ::close(pipeFds[1]);
    std::string report;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        report.append(buffer, static_cast<std::size_t>(n));
    ::close(pipeFds[0]);
    waitpid(child, nullptr, 0);
    return report;
}

TEST(AtomicWrite, AFileTheUserMayNotWriteIsRefusedThoughTheFolderWouldLetItBeReplaced) {
    test::TempDir dir;
    const fs::path shared = dir / "shared";
    fs::create_directory(shared);
    fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    fs::permissions(shared, fs::perms::all);  // anyone may rename files in it
    PutText(shared / "locked.pro", "theirs");
    fs::permissions(shared / "locked.pro", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    PutText(shared / "open.pro", "theirs");
    fs::permissions(shared / "open.pro", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                             fs::perms::group_write | fs::perms::others_read | fs::perms::others_write);

    std::string report = AsAnotherUser([&] {
        auto locked = WriteFileAtomically(shared / "locked.pro", Bytes("mine"));
        auto open = WriteFileAtomically(shared / "open.pro", Bytes("mine"));
        return (locked ? *locked : "written") + "|" + (open ? *open : "written");
    });
    EXPECT_EQ(report, (shared / "locked.pro").string() + ": cannot write: Permission denied|written");
    EXPECT_EQ(Text(shared / "locked.pro"), "theirs");
    EXPECT_EQ(Text(shared / "open.pro"), "mine");
    EXPECT_EQ(Names(shared), (std::vector<std::string>{"locked.pro", "open.pro"}));
}

TEST(AtomicWrite, TheReplacementKeepsTheModeAndForRootTheOwner) {
    test::TempDir dir;
    PutText(dir / "store", "old");
    ::chmod((dir / "store").c_str(), 0604);
    ASSERT_FALSE(WriteFileAtomically(dir / "store", Bytes("new")));
    EXPECT_EQ(LinkStat(dir / "store").st_mode & 07777, 0604u);
    if (::geteuid() != 0) return;

    // Root writes a read-only file of someone else's as a plain write by root would, and
    // gives it back to them.
    ASSERT_EQ(::chown((dir / "store").c_str(), 65534, 65534), 0);
    ::chmod((dir / "store").c_str(), 0444);
    ASSERT_FALSE(WriteFileAtomically(dir / "store", Bytes("newer")));
    EXPECT_EQ(Text(dir / "store"), "newer");
    struct stat st = LinkStat(dir / "store");
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
}

TEST(ReadFile, AFileOfExactlyTheLimitIsWholeAndOneByteMoreIsCut) {
    test::TempDir dir;
    // Larger than one read, so the limit falls in a later one.
    const std::size_t limit = 3 * 65536 + 17;
    PutText(dir / "exact", std::string(limit, 'e'));
    FileContents exact = ReadFileBytes(dir / "exact", limit);
    EXPECT_TRUE(exact.ok());
    EXPECT_FALSE(exact.truncated);
    EXPECT_EQ(exact.data.size(), limit);

    PutText(dir / "over", std::string(limit + 1, 'o'));
    FileContents over = ReadFileBytes(dir / "over", limit);
    EXPECT_TRUE(over.ok());
    EXPECT_TRUE(over.truncated);
    EXPECT_EQ(over.data.size(), limit);
}

TEST(ReadFile, AMissingFileIsNoErrorAndAFolderIs) {
    test::TempDir dir;
    FileContents missing = ReadFileBytes(dir / "none", 10);
    EXPECT_FALSE(missing.exists);
    EXPECT_TRUE(missing.error.empty());
    FileContents folder = ReadFileBytes(dir.path(), 10);
    EXPECT_TRUE(folder.exists);
    EXPECT_NE(folder.error.find("folder"), std::string::npos) << folder.error;
}

TEST(TemporaryLeftovers, OnlyTheWritersOwnLeftoversBesideTheFileAreRemoved) {
    test::TempDir dir;
    const fs::path store = dir / "store";
    PutText(store, "old");
    for (int i = 0; i < 2; ++i) KilledPartWay([&] { WriteFileAtomically(store, Bytes(kLarge)); }, 1000);
    const auto withLeftovers = Names(dir.path());
    ASSERT_EQ(withLeftovers.size(), 3u);

    const std::vector<std::string> lookAlikes = {
        ".store.tmp-abc12",  ".store.tmp-abc1234", ".store.tmp-abc12!", "store.tmp-abc123",
        ".other.tmp-abc123", ".store.bad",         "store.bad",         ".store.tmp-",
    };
    for (const auto& name : lookAlikes) PutText(dir / name, "not ours");
    fs::create_directories(dir / ".store.tmp-dir123");
    PutText(dir / "outside", "not ours");
    fs::create_symlink("outside", dir / ".store.tmp-lnk123");
    fs::create_directories(dir / "sub");
    PutText(dir / "sub/.store.tmp-abc123", "not ours");
    auto expected = Names(dir.path());
    expected.erase(std::remove_if(expected.begin(), expected.end(),
                                  [&](const std::string& n) {
                                      return n != "store" &&
                                             std::count(withLeftovers.begin(), withLeftovers.end(), n) > 0;
                                  }),
                   expected.end());

    std::vector<fs::path> removed = RemoveTemporaryLeftovers(store);
    EXPECT_EQ(removed.size(), 2u);
    EXPECT_EQ(Names(dir.path()), expected);
    EXPECT_EQ(Text(store), "old");
    EXPECT_EQ(Text(dir / "outside"), "not ours");
    EXPECT_TRUE(fs::exists(dir / "sub/.store.tmp-abc123"));
    EXPECT_TRUE(RemoveTemporaryLeftovers(dir / "no-such-folder/store").empty());
}

TEST(KeepCopy, TheOriginalStaysInPlaceAndItsCopyOutlivesTheNextReplacement) {
    test::TempDir dir;
    const fs::path store = dir / "store";
    PutText(store, "one");
    EXPECT_EQ(KeepCopy(store), dir / "store.bad");
    EXPECT_EQ(Text(store), "one");
    ASSERT_FALSE(WriteFileAtomically(store, Bytes("two")));
    EXPECT_EQ(Text(dir / "store.bad"), "one");

    EXPECT_EQ(KeepCopy(store), dir / "store.bad.1");
    EXPECT_EQ(Text(dir / "store.bad.1"), "two");
    EXPECT_EQ(Text(dir / "store.bad"), "one");

    EXPECT_FALSE(KeepCopy(dir / "none"));
    EXPECT_FALSE(fs::exists(dir / "none.bad"));
}

TEST(KeepCopy, AFileOnAnotherFileSystemIsCopiedByItsContents) {
    test::TempDir dir;
    std::string elsewhere = "/dev/shm/halvern-test-XXXXXX";
    int fd = ::mkstemp(elsewhere.data());
    if (fd < 0) GTEST_SKIP() << "no /dev/shm";
    ::close(fd);
    struct Remove {
        std::string path;
        ~Remove() { ::unlink(path.c_str()); }
    } cleanup{elsewhere};
    if (LinkStat(elsewhere).st_dev == LinkStat(dir.path()).st_dev)
        GTEST_SKIP() << "/dev/shm is no file system of its own";
    PutText(elsewhere, "far away");
    ::chmod(elsewhere.c_str(), 0640);
    fs::create_symlink(elsewhere, dir / "store");

    ASSERT_EQ(KeepCopy(dir / "store"), dir / "store.bad");
    struct stat copy = LinkStat(dir / "store.bad");
    EXPECT_TRUE(S_ISREG(copy.st_mode));
    EXPECT_EQ(copy.st_mode & 0777, 0640u);
    EXPECT_EQ(Text(dir / "store.bad"), "far away");
    EXPECT_TRUE(fs::is_symlink(dir / "store"));
}

}  // namespace
}  // namespace halvern
