#pragma once

#include <juce_core/juce_core.h>

// The board-wide settings of the init file: the lines the system widgets
// write, and what the keyword lines of an opened file set. Nothing here needs
// a window; MainComponent moves the values between these and its widgets.
namespace systemsettings
{
// The eight keywords, in the order in which an opened file's lines are applied.
extern const char* const baudKeyword;     // "#BAUD"
extern const char* const midiKeyword;     // "#MIDI"
extern const char* const releaseKeyword;  // "#MREL"
extern const char* const bendKeyword;     // "#BEND"
extern const char* const channelKeyword;  // "#MCHN"
extern const char* const volumeKeyword;   // "#VOLM"
extern const char* const ampKeyword;      // "#SPKR"
extern const char* const lowPowerKeyword; // "#LPWR"

// Item ids of the system combo boxes that have a meaning of their own.
constexpr int defaultBaudId = 6; // "57.6 kbps", the board's own rate
constexpr int midiBaudId = 7;    // "MIDI"
constexpr int defaultPitchId = 2;
constexpr int omniChannelId = 1;
constexpr int defaultSleepId = 7; // "5 min"
constexpr int noItemId = 0;       // a combo box showing no selection

// The line each widget writes for its value (each ends in CR LF), or an empty
// string when the value is the default, which the file expresses by having no
// line. Ids outside a box's items give no line.
juce::String baudLine (int baudId);       // "#BAUD 9600", or "#MIDI 1 " for MIDI
juce::String volumeLine (int volumeDb);   // "#VOLM -3"
juce::String releaseLine (int releaseMs); // "#MREL 20"
juce::String pitchLine (int pitchId);     // "#BEND 5"
juce::String channelLine (int channelId); // "#MCHN 16"
juce::String ampLine (bool powerOn);      // "#SPKR 1"
juce::String sleepLine (int sleepId);     // "#LPWR 300", for every sleep choice, the default too

// "#MIDI 1" to "#MIDI 7": written whatever the options, since it also says MIDI mode.
juce::String midiOptionsLine (bool ignoreVelocity, bool ignoreNoteOffs);

// Removes every entry that starts with the keyword, wherever it stands.
void removeKeywordLines (juce::StringArray& lines, const char* keyword);

// What an opened file's keyword lines set, on top of the settings of a new
// file. Each keyword's lines are applied in list order, so for a value the
// last line decides, and what a line only switches on stays on.
struct FileSettings
{
    int baudId = defaultBaudId;
    bool midiWidgetsEnabled = false;
    bool ignoreVelocity = false;
    bool ignoreNoteOffs = false;
    int releaseMs = 0;
    int pitchId = defaultPitchId;  // noItemId: nothing selected
    int channelId = omniChannelId; // noItemId: nothing selected
    int volumeDb = 0;
    bool ampOn = false;
    bool lowPowerOn = false;
    int sleepId = defaultSleepId;
};

// Runs the eight keyword passes over the entries, in their fixed order.
FileSettings readFileSettings (const juce::StringArray& lines);

// The lowest and highest values the sliders take.
constexpr int minVolumeDb = -20, maxVolumeDb = 10;
constexpr int minReleaseMs = 0, maxReleaseMs = 127;
} // namespace systemsettings
