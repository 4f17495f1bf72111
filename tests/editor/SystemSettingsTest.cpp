#include "editor/SystemSettings.h"

#include <gtest/gtest.h>

using namespace systemsettings;

namespace
{
FileSettings settingsOf (std::initializer_list<const char*> lines)
{
    juce::StringArray entries;
    for (auto* line : lines)
        entries.add (juce::String (line) + "\r\n");
    return readFileSettings (entries);
}
} // namespace

TEST (SystemSettings, LinesWrittenForTheChoices)
{
    const char* const rates[] = { "1200", "2400", "9600", "19200", "38400" };
    for (int id = 1; id <= 5; ++id)
        EXPECT_EQ (baudLine (id), juce::String ("#BAUD ") + rates[id - 1] + "\r\n");
    EXPECT_EQ (baudLine (defaultBaudId), "");
    EXPECT_EQ (baudLine (midiBaudId), "#MIDI 1 \r\n");

    const char* const seconds[] = { "15",  "30",  "60",  "120",  "180",  "240",
                                    "300", "600", "900", "1800", "2700", "3600" };
    for (int id = 1; id <= 12; ++id)
        EXPECT_EQ (sleepLine (id), juce::String ("#LPWR ") + seconds[id - 1] + "\r\n");

    EXPECT_EQ (channelLine (17), "#MCHN 16\r\n");
    EXPECT_EQ (pitchLine (defaultPitchId), "");
    EXPECT_EQ (midiOptionsLine (false, false), "#MIDI 1\r\n");
}

TEST (SystemSettings, RemovingAKeywordTakesEveryLineThatStartsWithIt)
{
    juce::StringArray lines { "#VOLM -3\r\n", "#VOLM 4\r\n", "#SPKR 1\r\n", "#volm 2\r\n",
                              " #VOLM 1\r\n", "#VOLMXYZ\r\n", "#TRIG 01, 1, 0, 1, 1, 1, 1, 0, ,\r\n",
                              "#VOLM 9\r\n", "#VOLM" };

    removeKeywordLines (lines, volumeKeyword);

    EXPECT_EQ (lines, juce::StringArray ({ "#SPKR 1\r\n", "#volm 2\r\n", " #VOLM 1\r\n",
                                           "#TRIG 01, 1, 0, 1, 1, 1, 1, 0, ,\r\n" }));
}

TEST (SystemSettings, RateAndMidiLines)
{
    EXPECT_EQ (settingsOf ({ "; comment", "#baud 9600", " #BAUD 9600", "#BAUDRATE 9600" }), FileSettings());

    const std::pair<const char*, int> rates[] = { { "#BAUD 1200", 1 },  { "#BAUD 2400", 2 },
                                                  { "#BAUD9600", 3 },   { "#BAUD 19200", 4 },
                                                  { "#BAUD 38400", 5 }, { "#BAUD 57600", 6 },
                                                  { "#BAUD 4800", 6 } };
    for (auto& [line, id] : rates)
        EXPECT_EQ (settingsOf ({ line }).baudId, id) << line;
    EXPECT_EQ (settingsOf ({ "#BAUD 1200", "#BAUD 38400", "#BAUD 4800" }).baudId, 5) << "last taken value";

    auto s = settingsOf ({ "#MIDI 7", "#BAUD 9600" });
    EXPECT_EQ (s.baudId, midiBaudId) << "MIDI mode wins whatever the order of the lines";
    EXPECT_TRUE (s.midiWidgetsEnabled && s.ignoreVelocity && s.ignoreNoteOffs);

    s = settingsOf ({ "#MIDI 3", "#MIDI 5" });
    EXPECT_TRUE (s.ignoreVelocity && s.ignoreNoteOffs) << "options only ever switch on";

    for (auto* line : { "#MIDI 0", "#MIDI 6" })
    {
        s = settingsOf ({ "#BAUD 9600", line });
        EXPECT_TRUE (s.midiWidgetsEnabled) << line;
        EXPECT_EQ (s.baudId, 3) << line;
        EXPECT_FALSE (s.ignoreVelocity || s.ignoreNoteOffs) << line;
    }
}

TEST (SystemSettings, ValuesAreHeldToWhatTheWidgetsOffer)
{
    EXPECT_EQ (settingsOf ({ "#MREL 300" }).releaseMs, 127);
    EXPECT_EQ (settingsOf ({ "#MREL -4" }).releaseMs, 0);
    EXPECT_EQ (settingsOf ({ "#VOLM 50" }).volumeDb, 10);
    EXPECT_EQ (settingsOf ({ "#VOLM -99" }).volumeDb, -20);
    EXPECT_EQ (settingsOf ({ "#VOLM -5", "#VOLM abc" }).volumeDb, 0) << "no digits read as 0";

    EXPECT_EQ (settingsOf ({ "#BEND 5" }).pitchId, 5);
    EXPECT_EQ (settingsOf ({ "#BEND 0" }).pitchId, noItemId);
    EXPECT_EQ (settingsOf ({ "#BEND 4", "#BEND 9" }).pitchId, 4);

    EXPECT_EQ (settingsOf ({ "#MCHN 0" }).channelId, omniChannelId);
    EXPECT_EQ (settingsOf ({ "#MCHN 16" }).channelId, 17);
    EXPECT_EQ (settingsOf ({ "#MCHN 17" }).channelId, omniChannelId);
    EXPECT_EQ (settingsOf ({ "#MCHN -1" }).channelId, noItemId);
}

TEST (SystemSettings, AmpAndLowPowerLinesOnlySwitchOn)
{
    EXPECT_TRUE (settingsOf ({ "#SPKR 3" }).ampOn);
    EXPECT_FALSE (settingsOf ({ "#SPKR 0" }).ampOn);
    EXPECT_TRUE (settingsOf ({ "#SPKR 1", "#SPKR 0" }).ampOn);

    for (auto* line : { "#LPWR 0", "#LPWR 45" })
    {
        const auto s = settingsOf ({ line });
        EXPECT_TRUE (s.lowPowerOn) << line;
        EXPECT_EQ (s.sleepId, defaultSleepId) << line;
    }

    EXPECT_EQ (settingsOf ({ "#LPWR 15" }).sleepId, 1);
    EXPECT_EQ (settingsOf ({ "#LPWR 3600" }).sleepId, 12);
    EXPECT_EQ (settingsOf ({ "#LPWR 1800", "#LPWR 45" }).sleepId, 10) << "unknown times keep the last one";
}
