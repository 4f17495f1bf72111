#include "editor/InitFileWriter.h"

#if JUCE_WINDOWS
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <string>
#include <vector>

namespace initfile
{
juce::MemoryBlock bytesToSave (const juce::String& text)
{
    const char* const utf8 = text.toRawUTF8();
    const size_t length = text.getNumBytesAsUTF8();

    juce::MemoryOutputStream out (length + length / 16 + 2);

    size_t runStart = 0;
    for (size_t i = 0; i < length; ++i)
    {
        if (utf8[i] == '\n' && (i == 0 || utf8[i - 1] != '\r'))
        {
            out.write (utf8 + runStart, i - runStart);
            out.write ("\r", 1);
            runStart = i; // the LF itself goes out with the next run
        }
    }

    out.write (utf8 + runStart, length - runStart);
    out.write ("\r\n", 2);

    return out.getMemoryBlock();
}

namespace
{
// The temporary file's name is this and a few random characters, whatever
// the target is called: a name as long as the folder allows still fits.
const char* const temporaryPrefix = ".quorvel-";
const int randomLength = 8;
const int attemptsAtAFreeName = 100;

juce::String randomCharacters()
{
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    juce::Random random;
    juce::String chars;
    for (int i = 0; i < randomLength; ++i)
        chars += juce::String::charToString ((juce::juce_wchar) alphabet[random.nextInt (36)]);
    return chars;
}

#if JUCE_WINDOWS
bool writeAll (HANDLE file, const char* bytes, size_t numBytes)
{
    while (numBytes > 0)
    {
        const auto chunk = (DWORD) std::min (numBytes, (size_t) 1 << 30);
        DWORD written = 0;
        if (! WriteFile (file, bytes, chunk, &written, nullptr) || written == 0 || written > chunk)
            return false;
        bytes += written;
        numBytes -= written;
    }
    return true;
}

// The path of the file that writing to `path` would reach, links followed by
// the system itself.
bool finalPathOf (const std::wstring& path, std::wstring& finalPath)
{
    const auto handle = CreateFileW (path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;

    std::vector<wchar_t> buffer (32768);
    const auto length = GetFinalPathNameByHandleW (handle, buffer.data(), (DWORD) buffer.size(), FILE_NAME_NORMALIZED);
    CloseHandle (handle);

    if (length == 0 || length >= buffer.size())
        return false;
    finalPath.assign (buffer.data(), length);
    return true;
}

bool replaceOnWindows (const juce::File& requestedTarget, const void* data, size_t numBytes, juce::File* newTextKeptIn)
{
    const std::wstring requested = requestedTarget.getFullPathName().toWideCharPointer();
    const auto attributes = GetFileAttributesW (requested.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;

    auto target = requested;
    if (exists && ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || ! finalPathOf (requested, target)))
        return false;

    const auto lastSeparator = target.find_last_of (L"\\/");
    if (lastSeparator == std::wstring::npos)
        return false;
    const auto folder = target.substr (0, lastSeparator);
    const auto folderAttributes = GetFileAttributesW ((folder + L"\\").c_str());
    if (folderAttributes == INVALID_FILE_ATTRIBUTES || (folderAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return false;

    // No sharing: nobody else opens the new file before it takes the target's place.
    std::wstring temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < attemptsAtAFreeName && file == INVALID_HANDLE_VALUE; ++attempt)
    {
        temporary = folder + L"\\" + (juce::String (temporaryPrefix) + randomCharacters()).toWideCharPointer();
        file = CreateFileW (temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS)
            return false;
    }
    if (file == INVALID_HANDLE_VALUE)
        return false;

    const bool written = writeAll (file, static_cast<const char*> (data), numBytes) && FlushFileBuffers (file);
    if (! CloseHandle (file) || ! written)
    {
        DeleteFileW (temporary.c_str());
        return false;
    }

    // ReplaceFile keeps the target's attributes and security settings. Should
    // it fail after taking the target away, the new file goes in its place;
    // should that fail too, or should the target be left under another name,
    // the new file is the only copy of the new text, and stays.
    bool replaced = false;
    bool keep = false;
    if (! exists)
        replaced = MoveFileExW (temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
    else if (ReplaceFileW (target.c_str(), temporary.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                           nullptr))
        replaced = true;
    else if (const auto error = GetLastError(); error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
        keep = true;
    else if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT
             && GetFileAttributesW (target.c_str()) == INVALID_FILE_ATTRIBUTES)
        keep = ! (replaced = MoveFileExW (temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH));

    if (keep && newTextKeptIn != nullptr)
        *newTextKeptIn = juce::File (juce::String (temporary.c_str()));
    if (! replaced && ! keep)
        DeleteFileW (temporary.c_str());
    return replaced;
}
#else
struct Destination
{
    std::string folder, path;
    bool exists = false;
    struct stat info = {};
};

// Whether the link at `link` may be followed, by the rule distributions set
// their kernels to: in a sticky folder that anyone may write to, only a link
// of the user saving or of the folder's owner. The system never applies that
// rule here, as the links are read by hand.
bool mayFollow (const std::string& folder, const struct stat& link)
{
    struct stat folderInfo;
    if (::stat (folder.c_str(), &folderInfo) != 0)
        return false;
    const bool sharedSticky = (folderInfo.st_mode & S_ISVTX) != 0 && (folderInfo.st_mode & S_IWOTH) != 0;
    return ! sharedSticky || link.st_uid == ::geteuid() || link.st_uid == folderInfo.st_uid;
}

// Where bytes written to `path` would land: the path taken apart name by name,
// every link on the way, the folders' included, followed as the system
// follows it (a relative one from the real folder it lies in).
bool findDestination (const std::string& path, Destination& destination)
{
    // A juce::File always holds an absolute path.
    if (path.empty() || path[0] != '/')
        return false;

    std::string reached; // a real folder, without links; empty for the root
    std::string rest = path;
    int links = 0;
    for (;;)
    {
        // A trailing slash asks for a folder, which is never what is saved.
        if (rest.empty() || rest.back() == '/')
            return false;

        const auto start = rest.find_first_not_of ('/');
        const auto end = rest.find ('/', start);
        const auto name = rest.substr (start, end - start);
        const bool last = end == std::string::npos;
        rest = last ? std::string() : rest.substr (end + 1);

        if (name == "." || name == "..")
        {
            if (last)
                return false;
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
            if (++links > 40 || ! mayFollow (folder, info)) // the system gives up on longer chains too
                return false;
            std::vector<char> linkText (PATH_MAX + 1);
            const auto length = ::readlink (candidate.c_str(), linkText.data(), linkText.size());
            if (length <= 0 || (size_t) length >= linkText.size())
                return false;
            if (linkText[0] == '/')
                reached.clear();
            rest = std::string (linkText.data(), (size_t) length) + (last ? "" : "/" + rest);
            continue;
        }

        if (last)
        {
            // A folder, a device or a pipe would be replaced by a plain file.
            destination = { folder, candidate, true, info };
            return S_ISREG (info.st_mode);
        }
        if (! S_ISDIR (info.st_mode))
            return false;
        reached = candidate;
    }
}

bool writeAll (int fd, const char* bytes, size_t numBytes)
{
    while (numBytes > 0)
    {
        const auto written = ::write (fd, bytes, numBytes);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        numBytes -= (size_t) written;
    }
    return true;
}

bool syncToDisk (int fd)
{
    while (::fsync (fd) != 0)
        if (errno != EINTR)
            return false;
    return true;
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
        temporary = destination.folder + "/" + temporaryPrefix + randomCharacters().toStdString();
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

// Every extended attribute of the target onto the new file, its access list
// among them, whose entries (named users and groups, the group's own rights)
// the mode alone can't carry. False when one can't be copied: without it the
// new file could be open to more people than the old one.
bool copyAttributes (const std::string& target, int fd)
{
    const char* const accessList = "system.posix_acl_access";

    std::vector<char> names;
    if (! readWhole ([&] (char* b, size_t s) { return ::llistxattr (target.c_str(), b, s); }, names))
        return errno == ENOTSUP; // a disk without them gave the old file none either

    bool accessListCopied = false;
    for (size_t i = 0; i < names.size(); i += std::strlen (names.data() + i) + 1)
    {
        const char* const name = names.data() + i;
        std::vector<char> value;
        if (! readWhole ([&] (char* b, size_t s) { return ::lgetxattr (target.c_str(), name, b, s); }, value))
        {
            if (errno == ENODATA) // removed in the meantime
                continue;
            return false;
        }
        if (::fsetxattr (fd, name, value.data(), value.size(), 0) != 0)
            return false;
        accessListCopied = accessListCopied || std::strcmp (name, accessList) == 0;
    }

    // A list the folder's default gave the new file would let in people the
    // old file kept out.
    return accessListCopied || ::fremovexattr (fd, accessList) == 0 || errno == ENODATA || errno == ENOTSUP;
}

bool takeOverTarget (int fd, const Destination& destination)
{
    // Only the superuser can give the file another owner; others at least
    // try to keep the group.
    [[maybe_unused]] const bool ownerKept = ::fchown (fd, destination.info.st_uid, destination.info.st_gid) == 0
                                            || ::fchown (fd, (uid_t) -1, destination.info.st_gid) == 0;

    // The attributes after the owner, whose change drops some of them; the
    // mode last, as the change of owner may clear some of its bits. With an
    // access list the mode's group bits set its mask, and the old mode's are
    // the old mask, so the list stays as it was copied.
    return copyAttributes (destination.path, fd) && ::fchmod (fd, destination.info.st_mode & 07777) == 0;
}

bool replaceOnPosix (const juce::File& requestedTarget, const void* data, size_t numBytes)
{
    Destination destination;
    if (! findDestination (requestedTarget.getFullPathName().toStdString(), destination))
        return false;

    // Taking the file's place needs only the folder's permission; writing
    // over it needs the file's own, as it would in place.
    if (destination.exists && ::faccessat (AT_FDCWD, destination.path.c_str(), W_OK, AT_EACCESS) != 0)
        return false;

    // Beside the destination, so that taking its place is a rename on one disk.
    std::string temporary;
    const int fd = createTemporary (destination, temporary);
    if (fd < 0)
        return false;

    // The owner, attributes and mode before the first byte; then every byte
    // accounted for: a disk or quota that fills, or a limit on file size,
    // shows up here as a write that falls short.
    const bool written = (! destination.exists || takeOverTarget (fd, destination))
                         && writeAll (fd, static_cast<const char*> (data), numBytes) && syncToDisk (fd);
    const bool closed = ::close (fd) == 0;

    // A plain rename: either the new file is in place whole, or the old one
    // is still there untouched.
    if (! (written && closed && ::rename (temporary.c_str(), destination.path.c_str()) == 0))
    {
        ::unlink (temporary.c_str());
        return false;
    }

    // So that the new name, not only the new bytes, survives a crash.
    const int folderFd = ::open (destination.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0)
    {
        syncToDisk (folderFd);
        ::close (folderFd);
    }
    return true;
}
#endif
} // namespace

bool replaceFileContent (const juce::File& target, const void* data, size_t numBytes, juce::File* newTextKeptIn)
{
#if JUCE_WINDOWS
    return replaceOnWindows (target, data, numBytes, newTextKeptIn);
#else
    juce::ignoreUnused (newTextKeptIn); // a rename never fails half-way
    return replaceOnPosix (target, data, numBytes);
#endif
}
} // namespace initfile
