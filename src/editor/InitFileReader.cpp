#include "editor/InitFileReader.h"
#include "editor/InitLineModel.h"
#include "editor/platform/FileRead.h"

namespace initfile
{
namespace
{
// Length of the well-formed UTF-8 sequence at `p` (at most `available` bytes
// long), or 0 when it is ill-formed; `prefix` then says how many of its bytes
// still belonged to a possible sequence, so they are replaced together.
size_t wellFormedLength (const unsigned char* p, size_t available, size_t& prefix)
{
    const unsigned char lead = p[0];
    prefix = 1;

    if (lead < 0x80)
        return 1;

    size_t length = 0;
    unsigned char low = 0x80, high = 0xbf; // allowed range of the second byte

    if (lead >= 0xc2 && lead <= 0xdf)
        length = 2;
    else if (lead >= 0xe0 && lead <= 0xef)
    {
        length = 3;
        if (lead == 0xe0)
            low = 0xa0; // no overlong forms
        else if (lead == 0xed)
            high = 0x9f; // no surrogates
    }
    else if (lead >= 0xf0 && lead <= 0xf4)
    {
        length = 4;
        if (lead == 0xf0)
            low = 0x90;
        else if (lead == 0xf4)
            high = 0x8f; // nothing above U+10FFFF
    }
    else
        return 0;

    for (size_t i = 1; i < length; ++i)
    {
        if (i >= available)
            return 0;

        const auto lo = (i == 1) ? low : (unsigned char) 0x80;
        const auto hi = (i == 1) ? high : (unsigned char) 0xbf;

        if (p[i] < lo || p[i] > hi)
            return 0;

        prefix = i + 1;
    }

    return length;
}
} // namespace

juce::String decodeUTF8 (const char* data, size_t numBytes)
{
    if (numBytes == 0)
        return {};

    auto bytes = reinterpret_cast<const unsigned char*> (data);

    // Nearly every file is valid, and then the bytes are taken as they are.
    size_t pos = 0, prefix = 0;
    while (pos < numBytes)
    {
        const auto length = wellFormedLength (bytes + pos, numBytes - pos, prefix);
        if (length == 0)
            break;
        pos += length;
    }

    if (pos == numBytes)
        return juce::String::fromUTF8 (data, (int) numBytes);

    std::string repaired (data, pos);
    repaired.reserve (numBytes + 16);

    while (pos < numBytes)
    {
        const auto length = wellFormedLength (bytes + pos, numBytes - pos, prefix);

        if (length == 0)
        {
            repaired.append ("\xef\xbf\xbd"); // U+FFFD
            pos += prefix;
        }
        else
        {
            repaired.append (data + pos, length);
            pos += length;
        }
    }

    return juce::String::fromUTF8 (repaired.data(), (int) repaired.size());
}

bool LineCutter::feed (const char* data, size_t numBytes)
{
    const char* const end = data + numBytes;
    const char* p = data;

    while (p < end && ! ended)
    {
        if (skipNextLineFeed)
        {
            skipNextLineFeed = false;
            if (*p == '\n')
            {
                ++p;
                continue;
            }
        }

        // Everything up to the next terminator belongs to the current line.
        const char* start = p;
        while (p < end && *p != '\n' && *p != '\r' && *p != 0)
            ++p;

        currentLine.append (start, (size_t) (p - start));

        if (p == end)
            break;

        skipNextLineFeed = (*p == '\r');
        ++p;
        endLine();
    }

    return ! ended;
}

void LineCutter::finish()
{
    if (! ended)
        endLine();

    ended = true;
}

void LineCutter::endLine()
{
    if (currentLine.empty())
    {
        ended = true;
        return;
    }

    currentLine.append ("\r\n");
    entries.add (decodeUTF8 (currentLine.data(), currentLine.size()));
    currentLine.clear();
}

juce::StringArray entriesFromBytes (const void* data, size_t numBytes)
{
    LineCutter cutter;
    cutter.feed (static_cast<const char*> (data), numBytes);
    cutter.finish();
    return std::move (cutter.getEntries());
}

bool readEntriesFromFile (const juce::File& file, juce::StringArray& entries)
{
    LineCutter cutter;
    if (! platform::readPlainFile (file, [&cutter] (const char* data, size_t numBytes)
                                   { return cutter.feed (data, numBytes); }))
        return false;

    cutter.finish();
    entries = std::move (cutter.getEntries());
    return true;
}

int keywordValueOf (const juce::String& entry)
{
    return atoiOf (entry.substring (5));
}
} // namespace initfile
