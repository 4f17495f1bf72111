#include <gtest/gtest.h>

#include "editor/TriggerLine.h"

using namespace triggerline;

namespace
{
const juce::String crlf ("\r\n");
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

// What the editor shows of a read line is checked through its widgets; only
// lines that no trigger of the editor could select are left for here.
TEST (TriggerLine, ReadsOnlyTriggerLinesNumberedUpTo16)
{
    ParsedTriggerLine parsed;
    for (auto* line : { "#TRIG 17, 1\r\n", "#TRIG -1, 1\r\n", "#trig 01, 1\r\n", " #TRIG 01, 1", "#TRIG ", "" })
        EXPECT_FALSE (parseTriggerLine (line, parsed)) << line;

    for (int number : { 0, 16 })
    {
        EXPECT_TRUE (parseTriggerLine ("#TRIG " + juce::String (number) + ", 1", parsed));
        EXPECT_EQ (parsed.triggerNumber, number);
    }
}
