#include "editor/TriggerLine.h"
#include "editor/InitLineModel.h"

#include <limits>

namespace triggerline
{
juce::String formatTriggerLine (int triggerNumber, const TriggerSettings& settings)
{
    const bool takesRange = functionTakesTrackRange (settings.functionId);

    if (takesRange && ! isValidTrackRange (settings.lowTrack, settings.highTrack))
        return {};

    juce::String line (initfile::triggerPrefix);

    if (triggerNumber < 10)
        line << "0";

    line << triggerNumber << ", " << settings.interfaceId << ", " << (settings.invert ? 1 : 0) << ", "
         << settings.typeId << ", " << settings.flags << ", " << (settings.polyphonic ? 1 : 0) << ", "
         << settings.functionId << ", " << settings.volumeDb << ", ";

    if (takesRange)
        line << settings.lowTrack << ", " << settings.highTrack;
    else
        line << ",";

    return line << "\r\n";
}

static void readField (const juce::StringArray& tokens, int index, ParsedField& field, int lowest, int highest)
{
    if (index >= tokens.size())
        return;

    field.present = true;
    field.value = initfile::atoiOf (tokens[index]);
    field.accepted = field.value >= lowest && field.value <= highest;
}

bool parseTriggerLine (const juce::String& line, ParsedTriggerLine& result)
{
    if (! line.startsWith (initfile::triggerPrefix))
        return false;

    // Every blank separates, so ", , " yields an empty token and the CR LF two
    // more; the commas stay on the numbers, where atoi stops.
    juce::StringArray tokens;
    tokens.addTokens (line.trimCharactersAtStart (initfile::triggerPrefix), " \n\r\t", juce::StringRef());

    if (tokens.isEmpty())
        return false;

    const int triggerNumber = initfile::atoiOf (tokens[0]);
    if (triggerNumber < 0 || triggerNumber > highestTriggerNumber)
        return false;

    ParsedTriggerLine parsed;
    parsed.triggerNumber = triggerNumber;

    // Invert, flags and polyphonic take any number: zero or not, and the low bits.
    constexpr int anyLow = std::numeric_limits<int>::min();
    constexpr int anyHigh = std::numeric_limits<int>::max();

    readField (tokens, 1, parsed.interfaceId, 1, numInterfaces);
    readField (tokens, 2, parsed.invert, anyLow, anyHigh);
    readField (tokens, 3, parsed.typeId, 1, numTypes);
    readField (tokens, 4, parsed.flags, anyLow, anyHigh);
    readField (tokens, 5, parsed.polyphonic, anyLow, anyHigh);
    readField (tokens, 6, parsed.functionId, 1, numFunctions);
    readField (tokens, 7, parsed.volumeDb, lowestVolumeDb, highestVolumeDb);
    readField (tokens, 8, parsed.lowTrack, lowestTrack, highestTrack);
    readField (tokens, 9, parsed.highTrack, lowestTrack, highestTrack);

    result = parsed;
    return true;
}
} // namespace triggerline
