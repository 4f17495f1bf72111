#if ! defined(_WIN32)

#include "serial/platform/posix/LockFiles.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace serialplatform
{
namespace
{
const std::string lockPrefix = "LCK..";

// More than any process id in text, padded as programs pad it, needs.
constexpr size_t lockReadLimit = 128;

// "serial/by-id/usb-x" below the folder becomes "serial_by-id_usb-x"; empty
// when the path is not below it.
std::string flattenedBelow (const std::string& folder, const std::string& path)
{
    const auto prefix = folder + "/";

    if (folder.empty() || path.size() <= prefix.size() || path.compare (0, prefix.size(), prefix) != 0)
        return {};

    auto rest = path.substr (prefix.size());
    std::replace (rest.begin(), rest.end(), '/', '_');
    return rest;
}

void addName (std::vector<std::string>& names, const std::string& name)
{
    if (! name.empty() && std::find (names.begin(), names.end(), name) == names.end())
        names.push_back (name);
}

enum class LockState
{
    absent,
    owned,  // a plain file, its owner read into pid
    strange // anything else found under the name
};

// A lock holds the owner's process id as text, padded with blanks by most
// programs; old ones wrote it as a 4-byte binary number, which a process id
// (below 2^22) always gives with a zero byte.
long pidFromLock (const std::string& content)
{
    if (content.size() == 4 && content.find ('\0') != std::string::npos)
    {
        std::int32_t binary;
        std::memcpy (&binary, content.data(), sizeof (binary));
        return binary;
    }

    return std::strtol (content.c_str(), nullptr, 10);
}

// Looked at before it is opened, so that a FIFO or a device put there is
// never opened, which may block or act on the device; looked at again once
// open, in case it was swapped meanwhile.
LockState readLock (const std::string& path, long& pid)
{
    struct stat info;

    if (::lstat (path.c_str(), &info) != 0)
        return LockState::absent;

    if (! S_ISREG (info.st_mode))
        return LockState::strange;

    int fd = ::open (path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);

    if (fd < 0)
        return errno == ENOENT ? LockState::absent : LockState::strange;

    // A plain file hands over what it has in one read.
    char content[lockReadLimit];
    const bool plain = ::fstat (fd, &info) == 0 && S_ISREG (info.st_mode);
    const auto got = plain ? ::read (fd, content, lockReadLimit) : -1;
    ::close (fd);

    if (! plain)
        return LockState::strange;

    pid = pidFromLock (std::string (content, got > 0 ? (size_t) got : 0));
    return LockState::owned;
}

// A lock whose owner is gone is left behind by a crash: it holds nothing. A
// process of another user is alive, though we may not signal it.
bool isLiveOtherProcess (long pid)
{
    return pid > 0 && pid <= INT_MAX && pid != ::getpid() && (::kill ((pid_t) pid, 0) == 0 || errno == EPERM);
}

bool holdsPort (const std::string& lockPath)
{
    long pid = 0;

    switch (readLock (lockPath, pid))
    {
        case LockState::absent: return false;
        case LockState::owned: return isLiveOtherProcess (pid);
        case LockState::strange: return true;
    }

    return true;
}

enum class Creation
{
    made,
    exists,
    impossible
};

Creation createLock (const std::string& path)
{
    int fd = ::open (path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);

    if (fd < 0)
        return errno == EEXIST ? Creation::exists : Creation::impossible;

    // Readable by all whatever the umask: a lock that others can't read holds
    // the port for them even after we are gone, and they can't judge it stale.
    bool readableByAll = ::fchmod (fd, 0644) == 0;

    char text[32];
    auto length = std::snprintf (text, sizeof (text), "%10d\n", (int) ::getpid());
    bool written = readableByAll && ::write (fd, text, (size_t) length) == length;

    // A lock without its owner in it would look stale to everyone else.
    if (::close (fd) != 0 || ! written)
    {
        ::unlink (path.c_str());
        return Creation::impossible;
    }

    return Creation::made;
}
} // namespace

std::vector<std::string> lockNamesFor (const ScanRoots& roots, const std::string& node)
{
    const auto target = canonicalPath (node);
    std::vector<std::string> names;
    addName (names, baseName (target));

    // Nodes live in the machine's /dev even where the roots copy its layout
    // elsewhere.
    auto flattened = flattenedBelow (roots.devices, target);
    addName (names, flattened.empty() ? flattenedBelow ("/dev", target) : flattened);

    for (auto* folder : { &roots.serialById, &roots.serialByPath })
    {
        for (auto& name : directoryEntries (*folder))
        {
            auto link = *folder + "/" + name;

            if (canonicalPath (link) == target)
            {
                addName (names, name);
                addName (names, flattenedBelow (roots.devices, link));
            }
        }
    }

    return names;
}

bool isHeldByLockFile (const ScanRoots& roots, const std::string& node)
{
    const auto names = lockNamesFor (roots, node);

    for (auto& folder : roots.lockFolders)
        for (auto& name : names)
            if (holdsPort (folder + "/" + lockPrefix + name))
                return true;

    return false;
}

bool createOwnLock (const std::vector<std::string>& lockFolders, const std::string& node, std::string& lockPath)
{
    lockPath.clear();
    const auto name = lockPrefix + baseName (canonicalPath (node));

    for (auto& folder : lockFolders)
    {
        const auto path = folder + "/" + name;

        // Twice: once more after taking away a stale lock, unless another
        // program's lock has appeared there meanwhile.
        for (int attempt = 0; attempt < 2; ++attempt)
        {
            auto outcome = createLock (path);

            if (outcome == Creation::made)
            {
                lockPath = path;
                return true;
            }

            if (outcome == Creation::impossible)
                break;

            if (holdsPort (path))
                return false;

            ::unlink (path.c_str());
        }
    }

    return true;
}

void removeOwnLock (const std::string& lockPath)
{
    long pid = 0;

    if (! lockPath.empty() && readLock (lockPath, pid) == LockState::owned && pid == ::getpid())
        ::unlink (lockPath.c_str());
}
} // namespace serialplatform

#endif
