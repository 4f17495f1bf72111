#include "editor/InitFileWriter.h"

#if ! JUCE_WINDOWS
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>
#endif

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
bool writeAndFlush (const juce::File& file, const void* data, size_t numBytes)
{
    juce::FileOutputStream out (file);

    if (out.failedToOpen())
        return false;

    if (numBytes > 0 && ! out.write (data, numBytes))
        return false;

    // The flush also asks the system to put the bytes on the disk.
    out.flush();
    return out.getStatus().wasOk();
}

#if ! JUCE_WINDOWS
bool takeOverPermissions (const juce::File& from, const juce::File& to)
{
    struct stat info;
    if (::stat (from.getFullPathName().toRawUTF8(), &info) != 0)
        return true; // a new file: the usual permissions are right

    const auto path = to.getFullPathName();
    if (::chmod (path.toRawUTF8(), info.st_mode & 07777) != 0)
        return false;

    // Keeping the owner only works for the superuser; anyone else keeps the
    // file as theirs, like any file they create.
    [[maybe_unused]] const int ignored = ::chown (path.toRawUTF8(), info.st_uid, info.st_gid);
    return true;
}
#endif
} // namespace

bool replaceFileContent (const juce::File& requestedTarget, const void* data, size_t numBytes)
{
    auto target = requestedTarget;
    if (target.isSymbolicLink())
        target = target.getLinkedTarget();

    // Moving a file onto a folder would fail at best and, on some systems,
    // remove an empty folder at worst.
    if (target.isDirectory() || ! target.getParentDirectory().isDirectory())
        return false;

    // Beside the target, so that taking its place is a rename on one disk.
    juce::TemporaryFile temporary (target, juce::TemporaryFile::useHiddenFile);

    if (! writeAndFlush (temporary.getFile(), data, numBytes))
        return false;

#if JUCE_WINDOWS
    // ReplaceFile keeps the target's attributes and security settings.
    return temporary.overwriteTargetFileWithTemporary();
#else
    if (! takeOverPermissions (target, temporary.getFile()))
        return false;

    // A plain rename: either the new file is in place whole, or the old one
    // is still there untouched. (A fallback that copies could lose both.)
    const auto from = temporary.getFile().getFullPathName();
    const auto to = target.getFullPathName();
    return ::rename (from.toRawUTF8(), to.toRawUTF8()) == 0;
#endif
}
} // namespace initfile
