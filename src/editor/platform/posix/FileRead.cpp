#if ! defined(_WIN32)

#include "editor/platform/FileRead.h"
#include "editor/platform/posix/OpenWithoutWaiting.h"

#include <vector>

namespace initfile::platform
{
bool readPlainFile (const juce::File& file, const std::function<bool (const char* data, size_t numBytes)>& take)
{
    const auto isPlainFile = [] (const struct stat& info) { return S_ISREG (info.st_mode); };
    const auto path = file.getFullPathName().toStdString();

    // Checked by name first, as opening a device can act on it: a serial
    // port's open raises its control lines, which resets many boards. The
    // check on the descriptor then catches anything swapped in meanwhile.
    struct stat named;
    if (::stat (path.c_str(), &named) != 0 || ! isPlainFile (named))
        return false;

    const int fd = openWithoutWaiting (path.c_str(), O_RDONLY, isPlainFile);
    if (fd < 0)
        return false;

    std::vector<char> buffer (65536);
    for (;;)
    {
        const auto got = ::read (fd, buffer.data(), buffer.size());
        if ((got < 0 && errno == EINTR) || (got > 0 && take (buffer.data(), (size_t) got)))
            continue;
        ::close (fd);
        return got >= 0; // at the end of the file, or `take` has all it wants
    }
}
} // namespace initfile::platform

#endif
