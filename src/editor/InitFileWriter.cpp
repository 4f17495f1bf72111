#include "editor/InitFileWriter.h"
#include "editor/platform/FileReplace.h"

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

namespace platform
{
juce::String temporaryName()
{
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    juce::Random random;
    juce::String name (".quorvel-");
    for (int i = 0; i < 8; ++i)
        name += juce::String::charToString ((juce::juce_wchar) alphabet[random.nextInt (36)]);
    return name;
}
} // namespace platform

bool replaceFileContent (const juce::File& target, const void* data, size_t numBytes, SaveFailure* failure)
{
    SaveFailure unasked;
    auto& what = failure != nullptr ? *failure : unasked;
    what = {};
    return platform::replaceFile (target, data, numBytes, what);
}
} // namespace initfile
