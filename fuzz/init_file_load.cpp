// Any bytes as an init file, through everything that opening a file does
// short of the widgets: cutting into entries, the keyword passes, finding the
// selected trigger's line and parsing trigger lines; then saving the result
// and reading it back. Besides crashes, hangs and sanitizer reports, a broken
// promise of the format stops the run.

#include "editor/InitFileReader.h"
#include "editor/InitFileWriter.h"
#include "editor/InitLineModel.h"
#include "editor/SystemSettings.h"
#include "editor/TriggerLine.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace
{
void check (bool promiseKept)
{
    if (! promiseKept)
        std::abort();
}

bool inRange (int value, int low, int high)
{
    return value >= low && value <= high;
}

void checkEntries (const juce::StringArray& entries)
{
    for (auto& entry : entries)
    {
        check (entry.endsWith ("\r\n") && entry.length() > 2);
        check (juce::CharPointer_UTF8::isValidString (entry.toRawUTF8(), (int) entry.getNumBytesAsUTF8()));

        // The line's own text holds no line end: those all ended it.
        check (! entry.dropLastCharacters (2).containsAnyOf ("\r\n"));
    }
}

void checkSettings (const systemsettings::FileSettings& s)
{
    check (inRange (s.baudId, 1, 7));
    check (inRange (s.releaseMs, 0, 127));
    check (inRange (s.pitchId, 0, 5));
    check (inRange (s.channelId, 0, 17));
    check (inRange (s.volumeDb, -20, 10));
    check (inRange (s.sleepId, 1, 12));
    check (s.midiWidgetsEnabled || (! s.ignoreVelocity && ! s.ignoreNoteOffs && s.baudId != 7));
}

void parseTriggerLines (const juce::StringArray& entries)
{
    // The selected trigger after opening is 1, but any may be selected later.
    for (int trigger = 1; trigger <= 16; ++trigger)
    {
        const int index = initfile::findTriggerLine (entries, trigger);

        if (initfile::isPresentTriggerLine (index))
        {
            triggerline::ParsedTriggerLine parsed;
            if (triggerline::parseTriggerLine (entries[index], parsed))
                check (inRange (parsed.triggerNumber, 0, 16));
        }
    }
}

void checkSaveReadsBack (const juce::StringArray& entries)
{
    // The view shortens very long entries, which then read back shortened.
    for (auto& entry : entries)
        if (entry.length() > initfile::maxShownEntryLength + 2)
            return;

    const auto text = initfile::viewText (entries);
    const auto bytes = initfile::bytesToSave (text);

    // The text view holds each CR LF as a single line break; the bytes are the same.
    check (initfile::bytesToSave (text.replace ("\r\n", "\n")) == bytes);

    const auto reread = initfile::entriesFromBytes (bytes.getData(), bytes.getSize());
    check (reread == entries);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    const auto entries = initfile::entriesFromBytes (data, size);
    checkEntries (entries);

    // The file is read in chunks; where they are cut must not matter.
    initfile::LineCutter cutter;
    const size_t pieceSize = size > 0 ? 1 + data[0] % 7 : 1;
    for (size_t pos = 0; pos < size && ! cutter.hasEnded(); pos += pieceSize)
        cutter.feed (reinterpret_cast<const char*> (data) + pos, std::min (pieceSize, size - pos));
    cutter.finish();
    check (cutter.getEntries() == entries);

    checkSettings (systemsettings::readFileSettings (entries));
    parseTriggerLines (entries);
    checkSaveReadsBack (entries);

    return 0;
}
