#include <gtest/gtest.h>

#include "editor/TriggerLine.h"

using namespace triggerline;

namespace
{
const juce::String crlf ("\r\n");

// A parsed line as "number field field ...": each field's value, "!" after a
// refused one, "-" for a missing one; "refused" for a line that isn't read.
juce::String fieldsOf (const juce::String& line)
{
    ParsedTriggerLine p;
    p.triggerNumber = 42;

    if (! parseTriggerLine (line, p))
        return p.triggerNumber == 42 ? "refused" : "refused, but the result changed";

    juce::String text (p.triggerNumber);
    for (auto* field : { &p.interfaceId, &p.invert, &p.typeId, &p.flags, &p.polyphonic, &p.functionId, &p.volumeDb,
                         &p.lowTrack, &p.highTrack })
        text << " " << (field->present ? juce::String (field->value) + (field->accepted ? "" : "!") : "-");
    return text;
}
} // namespace

TEST (TriggerLine, BuildsFieldsInLineOrderWithTwoDigitNumber)
{
    const std::tuple<int, TriggerSettings, const char*> cases[] = {
        { 1, {}, "#TRIG 01, 1, 0, 1, 1, 1, 1, 0, ," },
        { 2, { 1, false, 1, 0, false, 7, 0, 5, 5 }, "#TRIG 02, 1, 0, 1, 0, 0, 7, 0, 5, 5" },
        { 12, { 2, false, 1, 2, false, 2, -6, 1, 16 }, "#TRIG 12, 2, 0, 1, 2, 0, 2, -6, 1, 16" },
        { 9, { 2, true, 3, 7, false, 1, -7 }, "#TRIG 09, 2, 1, 3, 7, 0, 1, -7, ," },
        { 16, { 1, false, 2, 4, true, 4, 10, 4096, 4096 }, "#TRIG 16, 1, 0, 2, 4, 1, 4, 10, 4096, 4096" },
        { 3, { 1, false, 1, 1, true, 8, 0, 10, 5 }, "#TRIG 03, 1, 0, 1, 1, 1, 8, 0, ," }, // no range: none refused
    };
    for (auto& [trigger, settings, line] : cases)
        EXPECT_EQ (formatTriggerLine (trigger, settings), line + crlf);

    // Only "Next" to "Stop" carry a range, and only a valid one.
    const std::pair<int, int> refused[] = { { 1, 0 }, { 10, 5 }, { 4097, 4097 }, { 0, 16 }, { 1, 4097 }, { -3, 5 } };
    EXPECT_TRUE (isValidTrackRange (1, 1) && isValidTrackRange (1, 4096) && isValidTrackRange (4096, 4096));

    for (int function = 1; function <= 13; ++function)
    {
        const bool carriesRange = function >= 2 && function <= 7;
        EXPECT_EQ (formatTriggerLine (3, { 1, false, 1, 1, true, function, 0, 12, 40 }).endsWith (", 12, 40" + crlf),
                   carriesRange)
            << function;

        for (auto [low, high] : refused)
            EXPECT_EQ (formatTriggerLine (1, { 1, false, 1, 1, true, function, 0, low, high }).isEmpty(), carriesRange)
                << function << ": " << low << " " << high;
    }
}

TEST (TriggerLine, ParsesTokensSplitAtEveryBlank)
{
    const std::pair<const char*, const char*> cases[] = {
        { "#TRIG 16, 2, 1, 3, 7, 0, 4, -20, 100, 200\r\n", "16 2 1 3 7 0 4 -20 100 200" },
        { "#TRIG 03, 9, 0, 0, 1, 1, 99, 30, , \r\n", "3 9! 0 0! 1 1 99! 30! 0! 0!" },
        { "#TRIG 04, 0, 0, 4, 0, 0, 14, -21, 4097, 0\r\n", "4 0! 0 4! 0 0 14! -21! 4097! 0!" },
        { "#TRIG 05,\t2,\t1,\t2,\t3,\t1,\t6,\t-4,\t7,\t9\r\n", "5 2 1 2 3 1 6 -4 7 9" },
        // Without blanks the rest is one token; the CR LF adds two empty ones.
        { "#TRIG 1,1,0,1,1,1,1,0\r\n", "1 0! 0 - - - - - - -" },
        { "#TRIG 1,1,0,1,1,1,1,0", "1 - - - - - - - - -" },
        // A doubled blank is an empty field, which moves every later value along.
        { "#TRIG 05,  2, 0, 3, 0, 0, 1, 0, ,\r\n", "5 0! 2 0! 3 0 0! 1 0! 0!" },
        { "#TRIG TRIG 07, 2\r\n", "7 2 0 0! - - - - - -" },
        { "#TRIG G5, 2\r\n", "5 2 0 0! - - - - - -" },
        { "#TRIG 00, 2\r\n", "0 2 0 0! - - - - - -" },
        { "#TRIG \r\n", "0 0! 0 - - - - - - -" },
        { "#TRIG 17, 1, 0, 1, 1, 1, 1, 0, ,\r\n", "refused" },
        { "#TRIG -1, 1\r\n", "refused" },
        { "#trig 01, 1\r\n", "refused" },
        { " #TRIG 01, 1\r\n", "refused" },
        { "#TRIG01, 1\r\n", "refused" },
        { "#TRIG ", "refused" },
        { "#BAUD 9600\r\n", "refused" },
        { "", "refused" },
    };
    for (auto& [line, fields] : cases)
        EXPECT_EQ (fieldsOf (line), fields) << line;
}
