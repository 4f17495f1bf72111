#include "editor/InitFileWriter.h"
#include <gtest/gtest.h>
#include <string>

#if ! JUCE_WINDOWS
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
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

// 1 or 0 for what `act` gives as nobody in group nogroup, which takes the superuser to become.
template <typename Act>
static int asNobody (Act act)
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit (::setgroups (0, nullptr) != 0 || ::setgid (65534) != 0 || ::setuid (65534) != 0 ? 2 : act() ? 1 : 0);
    int status = 0;
    return child > 0 && ::waitpid (child, &status, 0) == child && WIFEXITED (status) ? WEXITSTATUS (status) : -1;
}
#endif

namespace
{
class InitFileWriter : public ::testing::Test
{
protected:
    ~InitFileWriter() override { folder.deleteRecursively(); }
    static const char* pathOf (const juce::File& f) { return f.getFullPathName().toRawUTF8(); }
    static bool replace (const juce::File& target, const std::string& bytes)
    {
        return initfile::replaceFileContent (target, bytes.data(), bytes.size());
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
    struct rlimit before;
    ASSERT_EQ (::getrlimit (RLIMIT_FSIZE, &before), 0);
    const auto previousHandler = std::signal (SIGXFSZ, SIG_IGN);
    // Below and above the 16 KiB a buffered stream holds back; the limit binds the superuser too.
    for (const auto& [limit, size] : { std::pair<rlim_t, size_t>{ 40, 1000 }, { 20000, 30000 } })
    {
        const struct rlimit limited = { limit, before.rlim_max };
        ASSERT_EQ (::setrlimit (RLIMIT_FSIZE, &limited), 0);
        const bool savedOk = replace (file, std::string (size, 'n'));
        ::setrlimit (RLIMIT_FSIZE, &before);
        EXPECT_FALSE (savedOk) << size;
        EXPECT_EQ (file.loadFileAsString(), old.c_str());
        EXPECT_EQ (entriesIn (folder), 1) << "no temporary file left";
    }
    std::signal (SIGXFSZ, previousHandler);
    EXPECT_FALSE (replace (juce::File ("/proc/version"), "x")) << "its folder takes no new file, not even root's";
    // Nobody's own folder would let them swap the file, the file's mode would not.
    if (::chown (pathOf (folder), 65534, 65534) != 0 || ::chown (pathOf (file), 65534, 65534) != 0)
        GTEST_SKIP() << "needs the superuser to act as nobody";
    ASSERT_EQ (::chmod (pathOf (file), 0444), 0);
    EXPECT_EQ (asNobody ([this] { return replace (file, "nobody's"); }), 0);
    EXPECT_EQ (file.loadFileAsString(), old.c_str());
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
    EXPECT_EQ (asNobody ([path] { return ::open (path, O_RDONLY) >= 0 && ::open (path, O_WRONLY) < 0; }), 1)
        << "nogroup may read, not write";
}
#endif
