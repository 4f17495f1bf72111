#include <gtest/gtest.h>

#include "editor/InitLineModel.h"

#include <climits>

using namespace initfile;

TEST (InitLineModel, TriggerNumberIsReadOnlyFromRealTriggerLines)
{
    const std::pair<const char*, int> cases[] = {
        { "#TRIG 16, 2, 1, 3, 7, 0, 4, -20, 100, 200\r\n", 16 },
        { "#TRIG 7\r\n", 7 },
        { "#TRIG ,1", 0 },
        { "#TRIG -2,", -2 },
        { "#TRIG   T 9, 1", 9 }, // the trimmed prefix is a set of characters
        { "#trig 01, 1", -1 },
        { "#TRIG1, 1", -1 },
        { " #TRIG 01, 1", -1 },
        { "", -1 },
    };
    for (auto& [entry, number] : cases)
        EXPECT_EQ (triggerNumberOf (entry), number) << entry;

    EXPECT_EQ (atoiOf (" \t\r\n-12abc"), -12);
    EXPECT_EQ (atoiOf ("- 5"), 0);
    EXPECT_EQ (atoiOf ("99999999999999999999999"), INT_MAX) << "an absurd number must not overflow";
    EXPECT_EQ (atoiOf ("-99999999999999999999999"), INT_MIN);
}

TEST (InitLineModel, NewTriggerLinesGoBeforeHigherNumbersAndAsterisks)
{
    const juce::String t3 = "#TRIG 03, 1\r\n", t4 = "#TRIG 04, 1\r\n", t7 = "#TRIG 07, 1\r\n";
    const std::pair<juce::StringArray, int> cases[] = {
        { {}, 0 },
        { { t7, t3 }, 0 }, // a file keeps its order; the first higher number wins
        { { "#BAUD 9600\r\n", "; ** mine **\r\n", t3 }, 1 },
        { { t3, t4, t7 }, 2 }, // after the same number
        { { t3, "#TRIG 20, 1\r\n" }, 1 },
    };
    for (auto& [lines, index] : cases)
        EXPECT_EQ (triggerLineInsertIndex (lines, 4), index) << lines.joinIntoString ("");

    EXPECT_EQ (findTriggerLine ({ t3, t4, t4 }, 4), 1);
    EXPECT_EQ (findTriggerLine ({ t3 }, 4), -1);
}

TEST (InitLineModel, ViewCutsOverlongEntriesButKeepsTheirLineBreak)
{
    const auto longComment = juce::String::repeatedString ("x", 1030);
    EXPECT_EQ (viewText ({ longComment + "\r\n", "#TRIG 03\r\n" }),
               longComment.substring (0, 1024) + "\r\n#TRIG 03\r\n")
        << "the trigger line after a long comment must stay a line of its own";
    EXPECT_EQ (viewText ({ longComment + "\n" }), longComment.substring (0, 1024) + "\n");

    // An entry of exactly the limit, and one without a line end, stay whole.
    const auto exact = juce::String::repeatedString ("y", 1024);
    EXPECT_EQ (viewText ({ exact + "\r\n", "tail" }), exact + "\r\ntail");
}
