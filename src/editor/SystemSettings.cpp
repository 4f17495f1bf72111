#include "editor/SystemSettings.h"
#include "editor/InitFileReader.h"

namespace systemsettings
{
const char* const baudKeyword = "#BAUD";
const char* const midiKeyword = "#MIDI";
const char* const releaseKeyword = "#MREL";
const char* const bendKeyword = "#BEND";
const char* const channelKeyword = "#MCHN";
const char* const volumeKeyword = "#VOLM";
const char* const ampKeyword = "#SPKR";
const char* const lowPowerKeyword = "#LPWR";

namespace
{
const char* const lineEnd = "\r\n";

// The rates of baud box ids 1 to 5; id 6 is the board's default rate and
// writes no line.
const int baudRates[] = { 1200, 2400, 9600, 19200, 38400 };

// Seconds of sleep box ids 1 to 12.
const int sleepSeconds[] = { 15, 30, 60, 120, 180, 240, 300, 600, 900, 1800, 2700, 3600 };

template <size_t N>
int idOfValue (const int (&table)[N], int value)
{
    for (size_t i = 0; i < N; ++i)
        if (table[i] == value)
            return (int) i + 1;

    return noItemId;
}

template <size_t N>
bool isIdOf (const int (&)[N], int id)
{
    return id >= 1 && id <= (int) N;
}

juce::String keywordLine (const char* keyword, int value)
{
    return juce::String (keyword) + " " + juce::String (value) + lineEnd;
}

// Calls `apply` with the value of every entry that starts with the keyword,
// in list order.
template <typename Apply>
void forEachValueOf (const juce::StringArray& lines, const char* keyword, Apply&& apply)
{
    for (auto& entry : lines)
        if (initfile::hasKeyword (entry, keyword))
            apply (initfile::keywordValueOf (entry));
}
} // namespace

juce::String baudLine (int baudId)
{
    if (baudId == midiBaudId)
        return juce::String ("#MIDI 1 ") + lineEnd; // the blank before the line end is part of it

    if (isIdOf (baudRates, baudId))
        return keywordLine (baudKeyword, baudRates[baudId - 1]);

    return {};
}

juce::String volumeLine (int volumeDb)
{
    return volumeDb != 0 ? keywordLine (volumeKeyword, volumeDb) : juce::String();
}

juce::String releaseLine (int releaseMs)
{
    return releaseMs != 0 ? keywordLine (releaseKeyword, releaseMs) : juce::String();
}

juce::String pitchLine (int pitchId)
{
    if (pitchId >= 1 && pitchId <= 5 && pitchId != defaultPitchId)
        return keywordLine (bendKeyword, pitchId);

    return {};
}

juce::String channelLine (int channelId)
{
    if (channelId >= 2 && channelId <= 17)
        return keywordLine (channelKeyword, channelId - 1);

    return {};
}

juce::String midiOptionsLine (bool ignoreVelocity, bool ignoreNoteOffs)
{
    // Bit 0 says MIDI mode, so even with both options off the line stays.
    int options = ignoreVelocity ? 3 : 1;
    if (ignoreNoteOffs)
        options |= 4;

    return keywordLine (midiKeyword, options);
}

juce::String ampLine (bool powerOn)
{
    return powerOn ? keywordLine (ampKeyword, 1) : juce::String();
}

juce::String sleepLine (int sleepId)
{
    // Every sleep time has a line, the default one too: the line is also what
    // says that the low-power option is on.
    if (isIdOf (sleepSeconds, sleepId))
        return keywordLine (lowPowerKeyword, sleepSeconds[sleepId - 1]);

    return {};
}

void removeKeywordLines (juce::StringArray& lines, const char* keyword)
{
    lines.strings.removeIf ([keyword] (const juce::String& entry) { return initfile::hasKeyword (entry, keyword); });
}

FileSettings readFileSettings (const juce::StringArray& lines)
{
    FileSettings s;

    // One pass per keyword, in this order: a "#MIDI" line selects MIDI mode
    // even when a "#BAUD" line stands below it.
    forEachValueOf (lines, baudKeyword,
                    [&] (int v)
                    {
                        const int id = idOfValue (baudRates, v);
                        if (id != noItemId)
                            s.baudId = id;
                    });

    forEachValueOf (lines, midiKeyword,
                    [&] (int v)
                    {
                        s.midiWidgetsEnabled = true;

                        // Without the MIDI mode bit the option bits mean nothing.
                        if ((v & 1) != 0)
                        {
                            s.baudId = midiBaudId;
                            s.ignoreVelocity = s.ignoreVelocity || (v & 2) != 0;
                            s.ignoreNoteOffs = s.ignoreNoteOffs || (v & 4) != 0;
                        }
                    });

    forEachValueOf (lines, releaseKeyword, [&] (int v) { s.releaseMs = juce::jlimit (minReleaseMs, maxReleaseMs, v); });

    forEachValueOf (lines, bendKeyword,
                    [&] (int v)
                    {
                        if (v <= 5)
                            s.pitchId = v >= 1 ? v : noItemId;
                    });

    forEachValueOf (lines, channelKeyword,
                    [&] (int v)
                    {
                        if (v <= 16)
                            s.channelId = v >= 0 ? v + 1 : noItemId;
                    });

    forEachValueOf (lines, volumeKeyword, [&] (int v) { s.volumeDb = juce::jlimit (minVolumeDb, maxVolumeDb, v); });

    forEachValueOf (lines, ampKeyword,
                    [&] (int v)
                    {
                        if (v >= 1)
                            s.ampOn = true;
                    });

    forEachValueOf (lines, lowPowerKeyword,
                    [&] (int v)
                    {
                        s.lowPowerOn = true;

                        const int id = idOfValue (sleepSeconds, v);
                        if (id != noItemId)
                            s.sleepId = id;
                    });

    return s;
}
} // namespace systemsettings
