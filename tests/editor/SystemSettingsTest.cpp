#include "editor/SystemSettings.h"

#include <gtest/gtest.h>

#include <vector>

using namespace systemsettings;

namespace
{
// What the lines set, as the settings that differ from a new file's.
juce::String changesMadeBy (const std::vector<const char*>& lines)
{
    juce::StringArray entries;
    for (auto* line : lines)
        entries.add (juce::String (line) + "\r\n");

    const auto fields = [] (const FileSettings& f)
    {
        return std::vector<int>{ f.baudId,  f.midiWidgetsEnabled, f.ignoreVelocity, f.ignoreNoteOffs, f.releaseMs,
                                 f.pitchId, f.channelId,          f.volumeDb,       f.ampOn,          f.lowPowerOn,
                                 f.sleepId };
    };
    const char* const names[] = { "baud",    "midi",   "velocity", "noteOffs", "release", "pitch",
                                  "channel", "volume", "amp",      "lowPower", "sleep" };
    const auto read = fields (readFileSettings (entries)), start = fields (FileSettings());

    juce::StringArray changes;
    for (size_t i = 0; i < read.size(); ++i)
        if (read[i] != start[i])
            changes.add (names[i] + juce::String (" ") + juce::String (read[i]));
    return changes.joinIntoString (", ");
}
} // namespace

TEST (SystemSettings, KeywordLinesSetValuesHeldToWhatTheWidgetsOffer)
{
    const std::pair<std::vector<const char*>, const char*> cases[] = {
        { { "; comment", "#baud 9600", " #BAUD 9600", "#BAUDRATE 9600" }, "" },
        { { "#BAUD 1200" }, "baud 1" },
        { { "#BAUD 2400" }, "baud 2" },
        { { "#BAUD9600" }, "baud 3" },
        { { "#BAUD \t 19200" }, "baud 4" },
        { { "#BAUD 38400" }, "baud 5" },
        { { "#BAUD 1200", "#BAUD 38400", "#BAUD 4800" }, "baud 5" },               // unknown rates keep the last one
        { { "#MIDI 7", "#BAUD 9600" }, "baud 7, midi 1, velocity 1, noteOffs 1" }, // whatever the order
        { { "#MIDI 3", "#MIDI 5" }, "baud 7, midi 1, velocity 1, noteOffs 1" },    // options only switch on
        { { "#BAUD 9600", "#MIDI 0" }, "baud 3, midi 1" },
        { { "#BAUD 9600", "#MIDI 6" }, "baud 3, midi 1" },
        { { "#MREL 300" }, "release 127" },
        { { "#MREL 20", "#MREL -4" }, "" },
        { { "#VOLM 50" }, "volume 10" },
        { { "#VOLM -99" }, "volume -20" },
        { { "#VOLM -5", "#VOLM abc" }, "" }, // no digits read as 0
        { { "#BEND 5" }, "pitch 5" },
        { { "#BEND 0" }, "pitch 0" },
        { { "#BEND 4", "#BEND 9" }, "pitch 4" },
        { { "#MCHN 16" }, "channel 17" },
        { { "#MCHN 3", "#MCHN 0" }, "" },
        { { "#MCHN 17" }, "" },
        { { "#MCHN -1" }, "channel 0" },
        { { "#SPKR 3" }, "amp 1" },
        { { "#SPKR 1", "#SPKR 0" }, "amp 1" }, // only ever switches on
        { { "#LPWR 0" }, "lowPower 1" },
        { { "#LPWR 15" }, "lowPower 1, sleep 1" },
        { { "#LPWR 3600" }, "lowPower 1, sleep 12" },
        { { "#LPWR 1800", "#LPWR 45" }, "lowPower 1, sleep 10" },
    };

    for (auto& [lines, changes] : cases)
        EXPECT_EQ (changesMadeBy (lines), changes) << lines.front();
}
