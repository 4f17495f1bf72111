#pragma once

#include <juce_core/juce_core.h>

#include "link/TriggerSettings.h"

// A trigger's "#TRIG" line of the init file, built from a TriggerSettings
// record and read back into field values. Nothing here knows about widgets, so
// the format can be checked on its own; MainComponent moves the values between
// these functions and its trigger widgets.
namespace triggerline
{
constexpr int lowestTrack = 1;
constexpr int highestTrack = 4096;

constexpr int lowestVolumeDb = -20;
constexpr int highestVolumeDb = 10;

// Number of choices of each trigger combo box; ids run from 1 to these.
constexpr int numInterfaces = 2;
constexpr int numTypes = 3;
constexpr int numFunctions = 13;

// Highest trigger number that a line may carry and still be read back.
constexpr int highestTriggerNumber = 16;

// Only "Next" to "Stop" play a range of tracks; every other function writes its
// range fields empty.
inline bool functionTakesTrackRange (int functionId)
{
    return functionId >= 2 && functionId <= 7;
}

inline bool isValidTrackRange (int lowTrack, int highTrack)
{
    return lowTrack >= lowestTrack && lowTrack <= highestTrack && highTrack >= lowestTrack && highTrack <= highestTrack
           && highTrack >= lowTrack;
}

// The settings' line for the trigger, ending with CR LF; empty when the function
// takes a track range and the range is not valid. The trigger number is
// written with two digits below 10.
juce::String formatTriggerLine (int triggerNumber, const TriggerSettings& settings);

// One field of a parsed line.
struct ParsedField
{
    bool present = false;  // the line has a token for it
    bool accepted = false; // present and within the field's range
    int value = 0;         // the token's atoi value, whether accepted or not
};

struct ParsedTriggerLine
{
    int triggerNumber = 0;
    ParsedField interfaceId, invert, typeId, flags, polyphonic, functionId, volumeDb, lowTrack, highTrack;
};

// Reads a line as stored in the line list (CR LF included). Returns false when
// it is not a trigger line, holds nothing after "#TRIG ", or carries a trigger
// number outside 0 to 16. The fields must be separated by white space: the
// commas only end the numbers.
bool parseTriggerLine (const juce::String& line, ParsedTriggerLine& result);
} // namespace triggerline
