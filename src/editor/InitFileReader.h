#pragma once

#include <juce_core/juce_core.h>

#include <string>

// Turning the bytes of an init file into the entries of the line list, and
// reading a keyword line's value. Nothing here needs a window.
namespace initfile
{
// Cuts bytes into entries, fed in pieces of any size. A line ends at LF, at
// CR LF, at a CR that no LF follows, at a zero byte or at the end of the data;
// the first empty line ends the reading and nothing after it is taken. Every
// line read becomes one entry with CR LF appended. A byte-order mark is not
// special: it stays part of the first line.
class LineCutter
{
public:
    // Takes the next piece of the file; false once the reading has ended, so
    // the caller can stop fetching more.
    bool feed (const char* data, size_t numBytes);

    // The end of the data ends the line being read.
    void finish();

    bool hasEnded() const noexcept { return ended; }
    juce::StringArray& getEntries() noexcept { return entries; }

private:
    void endLine();

    juce::StringArray entries;
    std::string currentLine;
    bool skipNextLineFeed = false;
    bool ended = false;
};

// The entries that the given bytes read as.
juce::StringArray entriesFromBytes (const void* data, size_t numBytes);

// Reads the entries of a file into `entries`. False, with `entries` left as it
// was, when the name leads to no plain file (missing, a folder, a pipe or a
// device, none of them waited on) or the file cannot be read to its end (or
// to its first empty line). An empty file is readable and gives no entries.
bool readEntriesFromFile (const juce::File& file, juce::StringArray& entries);

// Text from UTF-8 bytes; every ill-formed sequence becomes one U+FFFD, so the
// result is always valid text whatever the file held.
juce::String decodeUTF8 (const char* data, size_t numBytes);

// True when the entry's first characters are exactly the keyword (case and
// all; nothing may stand before the "#").
inline bool hasKeyword (const juce::String& entry, const char* keyword)
{
    return entry.startsWith (keyword);
}

// The value of a keyword line: the text after the five keyword characters,
// read as the C library's atoi reads it (leading white space skipped, an
// optional sign, digits up to the first other character, none gives 0).
int keywordValueOf (const juce::String& entry);
} // namespace initfile
