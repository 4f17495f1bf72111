#if ! defined(_WIN32)

#include "editor/platform/FileReplace.h"
#include "editor/platform/posix/OpenWithoutWaiting.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>

// Linux has reported the mount option since 5.10; older C libraries don't name it.
#ifndef ST_NOSYMFOLLOW
#define ST_NOSYMFOLLOW 0x2000
#endif

namespace initfile::platform
{
namespace
{
const char* const accessListName = "system.posix_acl_access";

bool failWith (int error)
{
    errno = error;
    return false;
}

struct Destination
{
    std::string folder, path;
    bool exists = false;
    struct stat info = {};
};

// Whether the link at `link`, in `folder`, may be followed. The system never
// applies its own rules here, as the links are read by hand, so they are
// applied as the system would: not on a disk mounted not to follow links,
// and, by the rule distributions set their kernels to, in a sticky folder
// that anyone may write to only a link of the user saving or of the folder's
// owner.
bool mayFollow (const std::string& folder, const struct stat& link)
{
    struct statvfs disk;
    struct stat folderInfo;
    if (::statvfs (folder.c_str(), &disk) != 0 || ::stat (folder.c_str(), &folderInfo) != 0)
        return false;
    if ((disk.f_flag & ST_NOSYMFOLLOW) != 0)
        return failWith (ELOOP);
    const bool sharedSticky = (folderInfo.st_mode & S_ISVTX) != 0 && (folderInfo.st_mode & S_IWOTH) != 0;
    return ! sharedSticky || link.st_uid == ::geteuid() || link.st_uid == folderInfo.st_uid || failWith (EACCES);
}

// Where bytes written to `path` would land: the path taken apart name by name,
// every link on the way, the folders' included, followed as the system
// follows it (a relative one from the real folder it lies in). errno tells
// why not, or is 0 where the refusal is ours alone.
bool findDestination (const std::string& path, Destination& destination)
{
    // A juce::File always holds an absolute path.
    if (path.empty() || path[0] != '/')
        return failWith (0);

    std::string reached; // a real folder, without links; empty for the root
    std::string rest = path;
    int links = 0;
    for (;;)
    {
        // A trailing slash asks for a folder, which is never what is saved.
        if (rest.empty() || rest.back() == '/')
            return failWith (EISDIR);

        const auto start = rest.find_first_not_of ('/');
        const auto end = rest.find ('/', start);
        const auto name = rest.substr (start, end - start);
        const bool last = end == std::string::npos;
        rest = last ? std::string() : rest.substr (end + 1);

        if (name == "." || name == "..")
        {
            if (last)
                return failWith (EISDIR);
            if (name == ".." && ! reached.empty())
                reached.erase (reached.rfind ('/'));
            continue;
        }

        const auto folder = reached.empty() ? std::string ("/") : reached;
        const auto candidate = reached + "/" + name;
        struct stat info;
        if (::lstat (candidate.c_str(), &info) != 0)
        {
            if (! last || errno != ENOENT)
                return false;
            destination = { folder, candidate, false, {} };
            return true;
        }

        if (S_ISLNK (info.st_mode))
        {
            if (++links > 40) // the system gives up on longer chains too
                return failWith (ELOOP);
            if (! mayFollow (folder, info))
                return false;
            std::vector<char> linkText (PATH_MAX + 1);
            const auto length = ::readlink (candidate.c_str(), linkText.data(), linkText.size());
            if (length < 0)
                return false;
            if (length == 0 || (size_t) length >= linkText.size())
                return failWith (ENAMETOOLONG);
            if (linkText[0] == '/')
                reached.clear();
            rest = std::string (linkText.data(), (size_t) length) + (last ? "" : "/" + rest);
            continue;
        }

        if (last)
        {
            // A folder, a device or a pipe would be replaced by a plain file.
            destination = { folder, candidate, true, info };
            return S_ISREG (info.st_mode) || failWith (S_ISDIR (info.st_mode) ? EISDIR : 0);
        }
        if (! S_ISDIR (info.st_mode))
            return failWith (ENOTDIR);
        reached = candidate;
    }
}

// Every byte, from the file's start. A write that moves no byte at all counts
// as a full disk, which is what the system means by it for a plain file.
bool writeFromTheStart (int fd, const char* bytes, size_t numBytes)
{
    if (::lseek (fd, 0, SEEK_SET) != 0)
        return false;
    while (numBytes > 0)
    {
        const auto written = ::write (fd, bytes, numBytes);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return written == 0 && failWith (ENOSPC);
        bytes += written;
        numBytes -= (size_t) written;
    }
    return true;
}

// The old content of a file, held while new bytes go into it. Its memory is
// taken without the allocator's exception, and not at all for a file larger
// than the machine's memory: a file too big to hold makes a failed save, never
// an abort that loses the text being edited.
class HeldBytes
{
public:
    HeldBytes() = default;
    HeldBytes (const HeldBytes&) = delete;
    HeldBytes& operator= (const HeldBytes&) = delete;
    ~HeldBytes() { std::free (bytes); }

    const char* data() const { return bytes; }
    size_t size() const { return length; }

    // Reads the file whole, however far it has grown since `sizeExpected`.
    bool readAll (int fd, size_t sizeExpected)
    {
        if (! makeRoom (sizeExpected + 1))
            return false;
        for (;;)
        {
            if (length == capacity && ! makeRoom (capacity * 2))
                return false;
            const auto got = ::pread (fd, bytes + length, capacity - length, (off_t) length);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                return false;
            if (got == 0)
                return true;
            length += (size_t) got;
        }
    }

private:
    bool makeRoom (size_t wanted)
    {
        const auto memory =
            (unsigned long long) ::sysconf (_SC_PHYS_PAGES) * (unsigned long long) ::sysconf (_SC_PAGESIZE);
        if (wanted > memory)
            return failWith (EFBIG);
        auto* const grown = static_cast<char*> (std::realloc (bytes, wanted));
        if (grown == nullptr)
            return failWith (ENOMEM);
        bytes = grown;
        capacity = wanted;
        return true;
    }

    char* bytes = nullptr;
    size_t length = 0, capacity = 0;
};

// Cuts the file where it is longer than `length`, and only there: some disks
// (FAT through FUSE) refuse a cut that would lengthen a file, even to the
// length it already has.
bool cutTo (int fd, size_t length)
{
    struct stat info;
    if (::fstat (fd, &info) != 0)
        return false;
    while ((size_t) info.st_size > length && ::ftruncate (fd, (off_t) length) != 0)
        if (errno != EINTR)
            return false;
    return true;
}

bool syncToDisk (int fd)
{
    while (::fsync (fd) != 0)
        if (errno != EINTR)
            return false;
    return true;
}

// Failures of the new file after which writing into the target itself may
// still work: a folder that takes no new file or refuses the rename, a disk
// or quota without room for a second copy (where the old one would have made
// room, had it been deleted first).
bool intoTheTargetMayWork (int error)
{
    return error == EACCES || error == EPERM || error == ENOSPC || error == EDQUOT;
}

// The temporary file is private from its creation when it is to replace a
// file, so that the new text is never open to more people than the old. A new
// target gets what the system gives any new file (umask, the folder's default
// permissions), which is all it will have anyway.
int createTemporary (const Destination& destination, std::string& temporary)
{
    const mode_t modeAtCreation = destination.exists ? 0600 : 0666;

    int fd = -1;
    for (int attempt = 0; attempt < attemptsAtAFreeName && fd < 0; ++attempt)
    {
        temporary = destination.folder + "/" + temporaryName().toStdString();
        fd = ::open (temporary.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, modeAtCreation);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    return fd;
}

// Reads something of a size not known beforehand, such as an attribute or
// the list of them, trying again should it grow in between.
template <typename Read>
bool readWhole (Read read, std::vector<char>& bytes)
{
    for (;;)
    {
        const auto size = read (nullptr, 0);
        if (size < 0)
            return false;
        bytes.resize ((size_t) size);
        const auto got = read (bytes.data(), bytes.size());
        if (got >= 0)
        {
            bytes.resize ((size_t) got);
            return true;
        }
        if (errno != ERANGE)
            return false;
    }
}

bool startsWith (const char* name, const char* prefix)
{
    return std::strncmp (name, prefix, std::strlen (prefix)) == 0;
}

// The target's extended attributes onto the new file, where the disk takes
// them. The system labels a new file for its security module itself, and
// only it may; attributes of users and trusted programs say nothing of who
// may read the file, so the save goes on without them. False when another
// one, perhaps about access, can't be copied.
bool copyAttributes (const std::string& target, int fd)
{
    std::vector<char> names;
    if (! readWhole ([&] (char* b, size_t s) { return ::llistxattr (target.c_str(), b, s); }, names))
        return errno == ENOTSUP; // a disk without them gave the old file none either

    for (size_t i = 0; i < names.size(); i += std::strlen (names.data() + i) + 1)
    {
        const char* const name = names.data() + i;
        if (startsWith (name, "security."))
            continue;
        const bool mayGoWithout = startsWith (name, "user.") || startsWith (name, "trusted.");

        std::vector<char> value;
        if (! readWhole ([&] (char* b, size_t s) { return ::lgetxattr (target.c_str(), name, b, s); }, value))
        {
            if (errno == ENODATA || mayGoWithout) // ENODATA: removed in the meantime
                continue;
            return false;
        }
        if (::fsetxattr (fd, name, value.data(), value.size(), 0) != 0 && ! mayGoWithout)
            return false;
    }
    return true;
}

// The access list of a file, or an empty one where it has none (or its disk
// has no such lists).
template <typename Read>
bool readAccessList (Read read, std::vector<char>& list)
{
    list.clear();
    return readWhole (read, list) || errno == ENODATA || errno == ENOTSUP;
}

// Tries to make the new file the target's twin, then judges by what the new
// file has become, not by what each call answered: a disk without owners or
// modes refuses to set them, yet gives every file the same.
bool madeTwin (int fd, const Destination& destination)
{
    const auto& old = destination.info;

    // Only the superuser can give the file another owner; others may at least
    // give it a group they belong to.
    [[maybe_unused]] const bool ownerSet =
        ::fchown (fd, old.st_uid, old.st_gid) == 0 || ::fchown (fd, (uid_t) -1, old.st_gid) == 0;

    // The attributes after the owner, whose change drops some of them; a list
    // that the folder's default gave the new file, though the old file had
    // none, would let in people the old file kept out. The mode last, as the
    // change of owner may clear some of its bits; with an access list the
    // mode's group bits set its mask, and the old mode's are the old mask, so
    // the list stays as it was copied.
    std::vector<char> oldList, newList;
    if (! copyAttributes (destination.path, fd)
        || ! readAccessList (
            [&] (char* b, size_t s) { return ::lgetxattr (destination.path.c_str(), accessListName, b, s); }, oldList))
        return false;
    [[maybe_unused]] const bool noList = ! oldList.empty() || ::fremovexattr (fd, accessListName) == 0;
    [[maybe_unused]] const bool modeSet = ::fchmod (fd, old.st_mode & 07777) == 0;

    struct stat now;
    return ::fstat (fd, &now) == 0 && now.st_uid == old.st_uid && now.st_gid == old.st_gid
           && (now.st_mode & 07777 & ~old.st_mode) == 0
           && readAccessList ([&] (char* b, size_t s) { return ::fgetxattr (fd, accessListName, b, s); }, newList)
           && newList == oldList;
}

// Opens the file whose right to be written was checked, not one put in its
// place since; -1 where that can't be.
int openTarget (const Destination& destination, int access)
{
    return openWithoutWaiting (destination.path.c_str(), access | O_NOFOLLOW,
                               [&destination] (const struct stat& info) {
                                   return info.st_dev == destination.info.st_dev
                                          && info.st_ino == destination.info.st_ino;
                               });
}

// Through a descriptor of its own: FAT through FUSE loses what is written into
// a part of the file that was read through the same descriptor.
bool readContent (const Destination& destination, HeldBytes& content)
{
    const int fd = openTarget (destination, O_RDONLY);
    const bool read = fd >= 0 && content.readAll (fd, (size_t) destination.info.st_size);
    if (fd >= 0)
        ::close (fd);
    return read;
}

// Writes the bytes into the target itself, which keeps its inode and with it
// its owner, group, mode, access list, attributes and every name it has. The
// old content is read first, so that a write that fails half-way can put it
// back; `oldBytesLost` tells when even that failed.
bool writeIntoTarget (const Destination& destination, const char* data, size_t numBytes, bool& oldBytesLost)
{
    const int fd = openTarget (destination, O_RDWR);
    if (fd < 0)
        return false;

    HeldBytes old;
    const bool oldContentRead = readContent (destination, old);
    const bool written =
        oldContentRead && writeFromTheStart (fd, data, numBytes) && cutTo (fd, numBytes) && syncToDisk (fd);
    const int error = errno;

    // The old bytes first, the cut last, so that nothing after the cut can
    // lengthen the file again.
    if (oldContentRead && ! written)
        oldBytesLost = ! (writeFromTheStart (fd, old.data(), old.size()) && cutTo (fd, old.size()) && syncToDisk (fd));
    ::close (fd);
    return written || failWith (error);
}

enum class Outcome
{
    replaced,
    failed,
    writeIntoTarget
};

Outcome replaceByRename (const Destination& destination, const char* data, size_t numBytes)
{
    // Beside the destination, so that taking its place is a rename on one disk.
    std::string temporary;
    const int fd = createTemporary (destination, temporary);
    if (fd < 0)
        return destination.exists && intoTheTargetMayWork (errno) ? Outcome::writeIntoTarget : Outcome::failed;

    // The owner, attributes and mode before the first byte; then every byte
    // accounted for: a disk or quota that fills, or a limit on file size,
    // shows up here as a write that falls short.
    const bool twin = ! destination.exists || madeTwin (fd, destination);
    bool done = twin && writeFromTheStart (fd, data, numBytes) && syncToDisk (fd);
    int error = errno;
    if (::close (fd) != 0 && done)
    {
        error = errno;
        done = false;
    }

    // A plain rename: either the new file is in place whole, or the old one
    // is still there untouched.
    if (done && ::rename (temporary.c_str(), destination.path.c_str()) != 0)
    {
        error = errno;
        done = false;
    }
    if (! done)
    {
        ::unlink (temporary.c_str());
        errno = error;
        if (! twin || (destination.exists && intoTheTargetMayWork (error)))
            return Outcome::writeIntoTarget;
        return Outcome::failed;
    }

    // So that the new name, not only the new bytes, survives a crash.
    const int folderFd = ::open (destination.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0)
    {
        syncToDisk (folderFd);
        ::close (folderFd);
    }
    return Outcome::replaced;
}

bool replaceOnPosix (const juce::File& requestedTarget, const char* data, size_t numBytes, bool& oldBytesLost)
{
    Destination destination;
    if (! findDestination (requestedTarget.getFullPathName().toStdString(), destination))
        return false;

    // Taking the file's place needs only the folder's permission; writing
    // over it needs the file's own, as it would in place. A read-only disk
    // answers here too.
    if (destination.exists && ::faccessat (AT_FDCWD, destination.path.c_str(), W_OK, AT_EACCESS) != 0)
        return false;

    // A new file would take only one of the target's names.
    if (destination.exists && destination.info.st_nlink > 1)
        return writeIntoTarget (destination, data, numBytes, oldBytesLost);

    switch (replaceByRename (destination, data, numBytes))
    {
        case Outcome::replaced: return true;
        case Outcome::writeIntoTarget: return writeIntoTarget (destination, data, numBytes, oldBytesLost);
        case Outcome::failed: break;
    }
    return false;
}
} // namespace

bool replaceFile (const juce::File& target, const void* data, size_t numBytes, SaveFailure& failure)
{
    errno = 0;
    if (replaceOnPosix (target, static_cast<const char*> (data), numBytes, failure.targetMayHoldPartOfNewText))
        return true;
    const int error = errno;
    if (error != 0)
        failure.reason = juce::String::fromUTF8 (std::strerror (error));
    return false;
}
} // namespace initfile::platform

#endif
