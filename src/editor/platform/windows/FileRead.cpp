#if defined(_WIN32)

#include "editor/platform/FileRead.h"

#include <vector>

namespace initfile::platform
{
bool readPlainFile (const juce::File& file, const std::function<bool (const char* data, size_t numBytes)>& take)
{
    // A folder opens for reading on some systems and then fails on the first
    // read; it is no init file either way.
    if (! file.existsAsFile())
        return false;

    juce::FileInputStream in (file);
    if (in.failedToOpen())
        return false;

    std::vector<char> buffer (65536);
    for (;;)
    {
        const int numRead = in.read (buffer.data(), (int) buffer.size());
        if (numRead <= 0 || ! take (buffer.data(), (size_t) numRead))
            break;
    }
    return ! in.getStatus().failed();
}
} // namespace initfile::platform

#endif
