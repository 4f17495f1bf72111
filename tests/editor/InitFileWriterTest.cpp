#include "editor/InitFileWriter.h"
#include "support/ProcessState.h"
#include <gtest/gtest.h>
#include <string>
#include <tuple>
#include <vector>

#if ! JUCE_WINDOWS
#include <chrono>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <grp.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

static mode_t modeOf (const juce::File& f)
{
    struct stat info;
    return ::stat (f.getFullPathName().toRawUTF8(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// While watched, what others could see of a file as its first byte goes in:
// its mode and the length of its list of extended attributes.
static juce::String* atFirstByte = nullptr;
extern "C" ssize_t write (int fd, const void* bytes, size_t numBytes)
{
    struct stat info;
    if (atFirstByte != nullptr && ::fstat (fd, &info) == 0 && S_ISREG (info.st_mode) && info.st_size == 0)
        *atFirstByte << juce::String::formatted ("%o %zd ", (unsigned) (info.st_mode & 07777),
                                                 ::flistxattr (fd, nullptr, 0));
    return ::syscall (SYS_write, fd, bytes, numBytes);
}

// While set, `name` is taken over by the pipe at `by` right after the first
// open of it: another user swapping it in between the opens of a save.
static struct
{
    const char *name, *by;
} takenOverAfterOpen = {};
extern "C" int open (const char* path, int flags, ...)
{
    mode_t mode = 0;
    if ((flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE)
    {
        va_list args;
        va_start (args, flags);
        mode = va_arg (args, mode_t);
        va_end (args);
    }
    const int fd = (int) ::syscall (SYS_openat, AT_FDCWD, path, flags, mode);
    if (takenOverAfterOpen.name != nullptr && std::strcmp (path, takenOverAfterOpen.name) == 0)
    {
        ::rename (takenOverAfterOpen.by, takenOverAfterOpen.name);
        takenOverAfterOpen = {};
    }
    return fd;
}

// 1 or 0 for what `act` gives as the user `uid` of group `gid` and `groups`,
// which takes the superuser to become.
template <typename Act>
static int asUser (uid_t uid, gid_t gid, std::vector<gid_t> groups, Act act)
{
    const pid_t child = ::fork();
    if (child == 0 && (::setgroups (groups.size(), groups.data()) != 0 || ::setgid (gid) != 0 || ::setuid (uid) != 0))
        ::_exit (2);
    if (child == 0)
        ::_exit (act() ? 1 : 0);
    int status = 0;
    return child > 0 && ::waitpid (child, &status, 0) == child && WIFEXITED (status) ? WEXITSTATUS (status) : -1;
}

// A disk that `command` mounts on `at` for as long as this lives, so that a
// test that fails half-way leaves no mount behind.
struct Mounted
{
    Mounted (const juce::File& at, const std::string& command)
        : point (at.getFullPathName().toStdString())
    {
        struct stat inside, outside;
        mounted = at.createDirectory().wasOk()
                  && std::system ((command + " '" + point + "' >/dev/null 2>&1").c_str()) == 0
                  && ::stat (point.c_str(), &inside) == 0 && ::stat ((point + "/..").c_str(), &outside) == 0
                  && inside.st_dev != outside.st_dev;
    }
    ~Mounted()
    {
        if (mounted)
            ::umount2 (point.c_str(), MNT_DETACH);
    }
    const std::string point;
    bool mounted = false;
};

static struct stat statOf (const juce::File& f)
{
    struct stat info = {};
    ::stat (f.getFullPathName().toRawUTF8(), &info);
    return info;
}
#endif

namespace
{
class InitFileWriter : public ::testing::Test
{
protected:
    ~InitFileWriter() override { folder.deleteRecursively(); }
    static const char* pathOf (const juce::File& f) { return f.getFullPathName().toRawUTF8(); }
    static bool replace (const juce::File& target, const std::string& bytes, initfile::SaveFailure* failure = nullptr)
    {
        return initfile::replaceFileContent (target, bytes.data(), bytes.size(), failure);
    }
    // Every byte, a zero byte too, which a juce::String would end at.
    static std::string bytesIn (const juce::File& f)
    {
        juce::MemoryBlock block;
        if (! f.loadFileAsData (block))
            return "(unreadable)";
        return block.isEmpty() ? std::string()
                               : std::string (static_cast<const char*> (block.getData()), block.getSize());
    }
    // All the way down, hidden files included, so a temporary file left behind counts.
    static int entriesIn (const juce::File& d)
    {
        return d.findChildFiles (juce::File::findFilesAndDirectories, true, "*", juce::File::FollowSymlinks::no).size();
    }
    const juce::File folder = juce::File::createTempFile ("quorvel-writer-test");
    const bool made = folder.createDirectory().wasOk();
    const juce::File file = folder.getChildFile ("quorvel.ini");
};
} // namespace

TEST_F (InitFileWriter, LoneLineFeedsBecomeCrLfAndOneCrLfCloses)
{
    const auto saved = [] (const juce::String& text) { return initfile::bytesToSave (text).toString().toStdString(); };
    EXPECT_EQ (saved (""), "\r\n");
    EXPECT_EQ (saved ("a\r\nb"), "a\r\nb\r\n");
    EXPECT_EQ (saved ("\na\nb\n"), "\r\na\r\nb\r\n\r\n");
    EXPECT_EQ (saved ("a\rb\r"), "a\rb\r\r\n") << "lone CRs stand as they are";
    EXPECT_EQ (saved ("a\r\r\nb"), "a\r\r\nb\r\n");
    EXPECT_EQ (saved (juce::String::fromUTF8 ("caf\xc3\xa9")), "caf\xc3\xa9\r\n") << "UTF-8, no BOM";
}

TEST_F (InitFileWriter, ASaveIsWholeOrLeavesEverythingAsItWas)
{
    EXPECT_TRUE (replace (file, "first, and longer than what follows\r\n"));
    EXPECT_TRUE (replace (file, "second\r\n"));
    EXPECT_EQ (file.loadFileAsString(), "second\r\n");
    const auto inMissingFolder = folder.getChildFile ("gone").getChildFile ("quorvel.ini");
    const auto folderOfThatName = folder.getChildFile ("folder.ini");
    ASSERT_TRUE (folderOfThatName.getChildFile ("keep.txt").create().wasOk());
    for (const auto& target : { inMissingFolder, folderOfThatName })
        EXPECT_FALSE (replace (target, "lost\r\n")) << target.getFullPathName();
    EXPECT_FALSE (inMissingFolder.getParentDirectory().exists());
    EXPECT_EQ (entriesIn (folder), 3) << "no temporary file left";
}

#if ! JUCE_WINDOWS
TEST_F (InitFileWriter, AWriteCutShortOrNotAllowedLeavesTheOldFileAndNoTemporaryOne)
{
    const std::string old (500, 'o');
    ASSERT_TRUE (replace (file, old));
    const auto secondName = folder.getChildFile ("second.ini");
    // Below and above the 16 KiB a buffered stream holds back. With a second
    // name the text goes into the file itself, and a limit below the old
    // length keeps the old bytes from all going back (here they went as far
    // as the new ones had, but the writer can't know that).
    for (const auto& [limit, size, twoNames] :
         { std::tuple<rlim_t, size_t, bool>{ 40, 1000, false }, { 20000, 30000, false }, { 40, 1000, true } })
    {
        ASSERT_TRUE (! twoNames || ::link (pathOf (file), pathOf (secondName)) == 0);
        initfile::SaveFailure failure;
        bool savedOk = true;
        {
            const testsupport::FileSizeLimit limited (limit);
            savedOk = replace (file, std::string (size, 'n'), &failure);
        }
        EXPECT_FALSE (savedOk) << size;
        EXPECT_EQ (failure.reason, "File too large");
        EXPECT_EQ (failure.targetMayHoldPartOfNewText, twoNames) << size;
        EXPECT_EQ (bytesIn (file), old);
        EXPECT_TRUE (! twoNames || secondName.deleteFile());
        EXPECT_EQ (entriesIn (folder), 1) << "no temporary file left";
    }

    // Two names, and old bytes too many for any machine's memory to hold
    // while the new ones go in: refused before a byte is written.
    const auto huge = folder.getChildFile ("huge.ini");
    ASSERT_TRUE (huge.create().wasOk() && ::truncate (pathOf (huge), (off_t) 1 << 43) == 0
                 && ::link (pathOf (huge), pathOf (secondName)) == 0);
    initfile::SaveFailure failure;
    EXPECT_FALSE (replace (secondName, "small\r\n", &failure));
    EXPECT_EQ (failure.reason, "File too large");
    EXPECT_FALSE (failure.targetMayHoldPartOfNewText);
    EXPECT_TRUE (statOf (huge).st_size == (off_t) 1 << 43 && statOf (huge).st_blocks == 0) << "not a byte written";
    EXPECT_TRUE (huge.deleteFile() && secondName.deleteFile());

    // A pipe swapped in under the name between the opens of a save into the
    // file itself: refused at once, not waiting for someone to open the
    // pipe's other end, and the file's other name keeps the old text.
    const auto pipe = folder.getChildFile ("pipe");
    ASSERT_TRUE (::link (pathOf (file), pathOf (secondName)) == 0 && ::mkfifo (pathOf (pipe), 0666) == 0);
    takenOverAfterOpen = { pathOf (file), pathOf (pipe) };
    initfile::SaveFailure refused;
    auto saving = std::async (std::launch::async, [this, &refused] { return replace (file, "new\r\n", &refused); });
    const bool returned = saving.wait_for (std::chrono::seconds (10)) == std::future_status::ready;
    if (! returned)
        ::close (::open (pathOf (file), O_WRONLY | O_NONBLOCK)); // lets a waiting open go, so the test ends
    EXPECT_TRUE (returned) << "the save waited on the pipe";
    EXPECT_FALSE (saving.get());
    EXPECT_TRUE (refused.reason.isEmpty() && ! refused.targetMayHoldPartOfNewText) << refused.reason;
    EXPECT_EQ (bytesIn (secondName), old);
    ASSERT_EQ (::rename (pathOf (secondName), pathOf (file)), 0) << "the file back under its name, the pipe gone";

    EXPECT_FALSE (replace (juce::File ("/proc/version"), "x")) << "its folder takes no new file, not even root's";
    // Nobody's own folder would let them swap the file, the file's mode would not.
    if (::chown (pathOf (folder), 65534, 65534) != 0 || ::chown (pathOf (file), 65534, 65534) != 0)
        GTEST_SKIP() << "needs the superuser to act as nobody";
    ASSERT_EQ (::chmod (pathOf (file), 0444), 0);
    EXPECT_EQ (asUser (65534, 65534, {}, [this] { return replace (file, "nobody's"); }), 0);
    EXPECT_EQ (bytesIn (file), old);
    EXPECT_EQ (entriesIn (folder), 1);
}

TEST_F (InitFileWriter, LinksAreFollowedAsTheSystemFollowsThemButNoneThatWasPlanted)
{
    const auto real = folder.getChildFile ("real/quorvel.ini"), shared = folder.getChildFile ("shared");
    ASSERT_TRUE (real.create().wasOk() && folder.getChildFile ("real/sub").createDirectory().wasOk()
                 && shared.createDirectory().wasOk() && ::chmod (pathOf (shared), 01777) == 0); // like /tmp
    // Each from and to; in the shared folder root's own link, then nobody's: to a file, to none, a folder on the way.
    const auto links = juce::StringArray::fromTokens (
        "a b b " + real.getFullPathName()
            + " linked real/sub real/sub/up.ini ../quorvel.ini shared/own.ini ../a shared/planted.ini "
              "../a shared/new.ini ../new.ini shared/sub ../real/sub",
        false);
    for (int i = 0; i < links.size(); i += 2)
        ASSERT_EQ (::symlink (links[i + 1].toRawUTF8(), pathOf (folder.getChildFile (links[i]))), 0);
    // Two links in a chain, the second absolute; a relative link in a linked folder, its ".." the real one's.
    for (const char* name : { "a", "linked/up.ini", "shared/own.ini" })
    {
        ASSERT_TRUE (replace (folder.getChildFile (name), name));
        EXPECT_EQ (real.loadFileAsString(), name);
        EXPECT_EQ (entriesIn (folder), 12) << "no other file created";
    }
    for (int i = 10; i < links.size(); i += 2)
        if (::lchown (pathOf (folder.getChildFile (links[i])), 65534, 65534) != 0)
            GTEST_SKIP() << "needs the superuser to plant links as nobody";
    for (const char* name : { "shared/planted.ini", "shared/new.ini", "shared/sub/quorvel.ini" })
        EXPECT_FALSE (replace (folder.getChildFile (name), name)) << name;
    EXPECT_EQ (real.loadFileAsString(), "shared/own.ini");
    EXPECT_EQ (entriesIn (folder), 12) << "nothing created";

    // On a disk mounted not to follow links, neither one to a file nor one to none.
    const Mounted noFollow (folder.getChildFile ("nofollow"), "mount -t tmpfs -o nosymfollow,size=64k tmpfs");
    if (! noFollow.mounted)
        GTEST_SKIP() << "needs the right to mount and a kernel that knows nosymfollow (5.10 on)";
    for (const auto& [name, to] :
         { std::pair{ "nofollow/old.ini", real }, { "nofollow/new.ini", folder.getChildFile ("new.ini") } })
    {
        ASSERT_EQ (::symlink (pathOf (to), pathOf (folder.getChildFile (name))), 0);
        initfile::SaveFailure failure;
        EXPECT_FALSE (replace (folder.getChildFile (name), name, &failure));
        EXPECT_EQ (failure.reason, "Too many levels of symbolic links") << "as the system says when it refuses";
    }
    EXPECT_EQ (real.loadFileAsString(), "shared/own.ini");
    EXPECT_EQ (entriesIn (folder), 15) << "nothing created";
}

TEST_F (InitFileWriter, PermissionsAreTheTargetsBeforeTheFirstByteAndAnyNameFits)
{
    const auto umaskBefore = ::umask (0);                  // so that a temporary file made wider than 0600 shows
    const auto longName = std::string (246, 'n') + ".ini"; // 250 bytes; most folders allow 255
    int files = 0;
    for (const auto& [name, mode] :
         { std::pair<std::string, mode_t>{ "private.ini", 0600 }, { "group.ini", 0640 }, { longName, 0755 } })
    {
        const auto target = folder.getChildFile (name);
        ASSERT_TRUE (replace (target, "old\r\n")) << name;
        EXPECT_EQ (modeOf (target), 0666u) << "what the system gives any new file";
        ASSERT_EQ (::chmod (target.getFullPathName().toRawUTF8(), mode), 0);
        juce::String seen;
        atFirstByte = &seen;
        EXPECT_TRUE (replace (target, "new\r\n")) << name;
        atFirstByte = nullptr;
        EXPECT_EQ (modeOf (target), mode);
        EXPECT_EQ (target.loadFileAsString(), "new\r\n");
        EXPECT_EQ (seen, juce::String::formatted ("%o 0 ", (unsigned) mode)) << "the mode set before the first byte";
        EXPECT_EQ (entriesIn (folder), ++files);
    }
    ::umask (umaskBefore);
}

TEST_F (InitFileWriter, AnAccessListAndOtherAttributesAreKeptSoTheGroupStillCannotWrite)
{
    // user::rw- user:1:r-- group::r-- mask::rw- other::r--, as the system stores it (little-endian)
    const uint32_t list[] = { 2, 0x60001, ~0u, 0x40002, 1, 0x40004, ~0u, 0x60010, ~0u, 0x40020, ~0u };
    const char* const path = pathOf (file);
    ASSERT_TRUE (replace (file, "old\r\n"));
    if (::setxattr (path, "system.posix_acl_access", list, sizeof (list), 0) != 0
        || ::setxattr (path, "user.origin", "kept", 4, 0) != 0 || ::chown (path, 0, 65534) != 0)
        GTEST_SKIP() << "needs the superuser and a disk with access lists and user attributes";
    juce::String seen;
    atFirstByte = &seen;
    EXPECT_TRUE (replace (file, "new\r\n"));
    atFirstByte = nullptr;
    EXPECT_EQ (seen, "664 36 ") << "both attributes there before the first byte";
    uint32_t copied[16] = {};
    EXPECT_EQ (::getxattr (path, "system.posix_acl_access", copied, sizeof (copied)), (ssize_t) sizeof (list));
    EXPECT_EQ (std::memcmp (copied, list, sizeof (list)), 0);
    EXPECT_EQ (::getxattr (path, "user.origin", copied, sizeof (copied)), 4);
    EXPECT_EQ (
        asUser (65534, 65534, {}, [path] { return ::open (path, O_RDONLY) >= 0 && ::open (path, O_WRONLY) < 0; }), 1)
        << "nogroup may read, not write";
}

TEST_F (InitFileWriter, OwnerGroupAndAccessStayWhoeverSaves)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs the superuser to act as other users";
    // user::rw- user:1000:rw- group::rw- mask::rw- other::---, as the system stores it (little-endian)
    const uint32_t list[] = { 2, 0x60001, ~0u, 0x60002, 1000, 0x60004, ~0u, 0x60010, ~0u, 0x20, ~0u };
    // File, its owner, group and mode, its folder's owner, the saver and the saver's group, an attribute set by root.
    for (const auto& [name, owner, group, mode, folderOwner, saver, saverGroup, attribute] :
         { // A group the saver isn't in; another user's file whose access list lets the saver write.
           std::tuple<const char*, uid_t, gid_t, mode_t, uid_t, uid_t, gid_t, std::string>{ "group.ini", 1000, 2000,
                                                                                            0640, 1000, 1000, 100, "" },
           { "listed.ini", 1001, 1001, 0660, 1000, 1000, 1000, "system.posix_acl_access" },
           // A folder the saver may not write; a label only the superuser may set on the saver's own file.
           { "roots.ini", 0, 0, 0666, 0, 65534, 65534, "" },
           { "labelled.ini", 1000, 1000, 0644, 1000, 1000, 1000, "security.quorvel" } })
    {
        const auto own = folder.getChildFile (juce::String (name) + ".d"), target = own.getChildFile (name);
        ASSERT_TRUE (own.createDirectory().wasOk() && ::chown (pathOf (own), folderOwner, folderOwner) == 0);
        ASSERT_TRUE (replace (target, "old\r\n") && ::chown (pathOf (target), owner, group) == 0
                     && ::chmod (pathOf (target), mode) == 0);
        if (! attribute.empty() && ::setxattr (pathOf (target), attribute.c_str(), list, sizeof (list), 0) != 0)
            GTEST_SKIP() << "needs a disk with access lists and security attributes";

        EXPECT_EQ (asUser (saver, saverGroup, { saverGroup }, [&] { return replace (target, "new\r\n"); }), 1) << name;
        EXPECT_EQ (target.loadFileAsString(), "new\r\n") << name;
        const auto after = statOf (target);
        EXPECT_TRUE (after.st_uid == owner && after.st_gid == group && (after.st_mode & 07777) == mode) << name;
        EXPECT_EQ (entriesIn (own), 1) << name << ": no temporary file left";
        EXPECT_EQ (asUser (owner, group, { group }, [&] { return ::open (pathOf (target), O_RDWR) >= 0; }), 1)
            << name << ": its owner can still read and write it";
    }
}

TEST_F (InitFileWriter, TheFileItselfTakesTheTextWhereANewOneCannotAndGetsItsOldBytesBackWhenThatFails)
{
    const auto page = (size_t)::sysconf (_SC_PAGESIZE);
    const Mounted disk (folder.getChildFile ("small"),
                        "mount -t tmpfs -o size=" + std::to_string (16 * page) + " tmpfs");
    if (! disk.mounted)
        GTEST_SKIP() << "needs the superuser to mount a small tmpfs";
    const auto a = juce::File (disk.point).getChildFile ("a.ini"), b = a.getSiblingFile ("b.ini");
    const std::string old (page + page / 2, 'o'), longer (2 * page, 'l');
    ASSERT_TRUE (replace (a, old) && ::link (pathOf (a), pathOf (b)) == 0);
    const auto inode = statOf (a).st_ino;

    // A new file would take one of the two names only.
    EXPECT_TRUE (replace (b, "two names\r\n"));
    EXPECT_TRUE (a.loadFileAsString() == "two names\r\n" && statOf (a).st_ino == inode);

    // The disk full to its last page: a longer text stops half-way.
    ASSERT_TRUE (replace (a, old));
    const auto filler = a.getSiblingFile ("filler");
    struct statvfs room;
    const int fd = ::open (pathOf (filler), O_CREAT | O_WRONLY, 0600);
    ASSERT_TRUE (::fstatvfs (fd, &room) == 0 && ::posix_fallocate (fd, 0, (off_t) (room.f_bavail * room.f_bsize)) == 0);
    initfile::SaveFailure failure;
    EXPECT_FALSE (replace (a, std::string (4 * page, 'n'), &failure));
    EXPECT_TRUE (failure.reason == "No space left on device" && ! failure.targetMayHoldPartOfNewText);
    EXPECT_TRUE (bytesIn (a) == old && bytesIn (b) == old) << "the old bytes back";

    // One name, one page free: no room for a second copy, but enough in the file itself.
    ASSERT_TRUE (::unlink (pathOf (b)) == 0 && ::ftruncate (fd, (off_t) ((room.f_bavail - 1) * room.f_bsize)) == 0);
    ::close (fd);
    EXPECT_TRUE (replace (a, longer));
    EXPECT_TRUE (a.loadFileAsString() == longer.c_str() && statOf (a).st_ino == inode);
    EXPECT_EQ (entriesIn (juce::File (disk.point)), 2) << "no temporary file left";

    ASSERT_EQ (::mount (nullptr, disk.point.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    EXPECT_FALSE (replace (a, "read-only", &failure));
    EXPECT_EQ (failure.reason, "Read-only file system");
}

TEST_F (InitFileWriter, ADiskWithoutOwnersOrModesTakesASaveOverAFile)
{
    if (::access ("/dev/fuse", R_OK | W_OK) != 0)
        GTEST_SKIP() << "no /dev/fuse to mount a FAT image through FUSE";
    const auto image = folder.getChildFile ("card.img").getFullPathName().toStdString();
    ASSERT_EQ (std::system (("mkfs.fat -C '" + image + "' 1024 >/dev/null").c_str()), 0) << "mkfs.fat, of dosfstools";
    const Mounted card (folder.getChildFile ("card"), "fusefat -o rw+ '" + image + "'");
    ASSERT_TRUE (card.mounted) << "fusefat";

    const auto target = juce::File (card.point).getChildFile ("quorvel.ini");
    EXPECT_TRUE (replace (target, "first\r\n") && replace (target, "second\r\n"));
    EXPECT_EQ (target.loadFileAsString(), "second\r\n");
    EXPECT_EQ (entriesIn (juce::File (card.point)), 1) << "no temporary file left";

    // The card full: the text goes into the file itself, whole where the
    // file's own room takes it, else not at all.
    const std::string old (200, 'o');
    ASSERT_TRUE (replace (target, old));
    const int filler = ::open (pathOf (target.getSiblingFile ("filler")), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE (filler, 0);
    const std::string chunk (4096, 'f');
    for (const size_t size : { chunk.size(), (size_t) 1 })
        while (::write (filler, chunk.data(), size) > 0)
            ;
    ::close (filler);
    for (const auto& [size, saved] : { std::pair<size_t, bool>{ 250, true }, { 5000, false } })
    {
        const std::string text (size, 'n');
        initfile::SaveFailure failure;
        EXPECT_EQ (replace (target, text, &failure), saved) << size;
        EXPECT_FALSE (failure.targetMayHoldPartOfNewText) << size;
        EXPECT_EQ (bytesIn (target), saved ? text : old) << size;
        ASSERT_TRUE (replace (target, old)) << "back to the old bytes, which fit in their own room";
    }
    EXPECT_EQ (entriesIn (juce::File (card.point)), 2) << "no temporary file left";
}
#endif
