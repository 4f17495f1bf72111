#include <gtest/gtest.h>

#include "editor/TriggerLine.h"

TEST (TriggerLine, BuildsFieldsInLineOrderWithTwoDigitNumber)
{
    const std::tuple<int, TriggerSettings, const char*> cases[] = {
        { 9, { 2, true, 3, 7, false, 1, -7 }, "#TRIG 09, 2, 1, 3, 7, 0, 1, -7, ," },
        { 16, { 1, false, 2, 4, true, 4, 10, 4096, 4096 }, "#TRIG 16, 1, 0, 2, 4, 1, 4, 10, 4096, 4096" },
        { 3, { 1, false, 1, 1, true, 8, 0, 10, 5 }, "#TRIG 03, 1, 0, 1, 1, 1, 8, 0, ," }, // no range: none refused
    };
    for (auto& [trigger, settings, line] : cases)
        EXPECT_EQ (triggerline::formatTriggerLine (trigger, settings), line + juce::String ("\r\n"));

    // Only "Next" to "Stop" carry a range, and only a valid one.
    const std::pair<int, int> refused[] = { { 1, 0 }, { 10, 5 }, { 4097, 4097 }, { 0, 16 }, { 1, 4097 }, { -3, 5 } };
    EXPECT_TRUE (triggerline::isValidTrackRange (1, 1) && triggerline::isValidTrackRange (1, 4096)
                 && triggerline::isValidTrackRange (4096, 4096));

    for (int function = 1; function <= 13; ++function)
    {
        const bool carriesRange = function >= 2 && function <= 7;
        EXPECT_EQ (triggerline::formatTriggerLine (3, { 1, false, 1, 1, true, function, 0, 12, 40 })
                       .endsWith (", 12, 40" + juce::String ("\r\n")),
                   carriesRange)
            << function;

        for (auto [low, high] : refused)
            EXPECT_EQ (triggerline::formatTriggerLine (1, { 1, false, 1, 1, true, function, 0, low, high }).isEmpty(),
                       carriesRange)
                << function << ": " << low << " " << high;
    }
}

// Lines no trigger of the editor could select; the rest through its widgets.
TEST (TriggerLine, ReadsOnlyTriggerLinesNumberedUpTo16)
{
    triggerline::ParsedTriggerLine parsed;
    for (auto* line : { "#TRIG 17, 1\r\n", "#TRIG -1, 1\r\n", "#trig 01, 1\r\n", " #TRIG 01, 1", "#TRIG ", "" })
        EXPECT_FALSE (triggerline::parseTriggerLine (line, parsed)) << line;

    EXPECT_TRUE (triggerline::parseTriggerLine ("#TRIG 00, 1", parsed) && parsed.triggerNumber == 0);
}
