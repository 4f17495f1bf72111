#include <gtest/gtest.h>

#include "editor/InitLineModel.h"

#include <climits>

using namespace initfile;

namespace
{
const juce::String crlf ("\r\n");

juce::String triggerLine (int n)
{
    return "#TRIG " + juce::String (n).paddedLeft ('0', 2) + ", 1, 0, 1, 1, 1, 1, 0, ," + crlf;
}
} // namespace

TEST (InitLineModel, TriggerNumberIsReadOnlyFromRealTriggerLines)
{
    const std::pair<const char*, int> cases[] = {
        { "#TRIG 16, 2, 1, 3, 7, 0, 4, -20, 100, 200\r\n", 16 },
        { "#TRIG 7\r\n", 7 },
        { "#TRIG ,1", 0 },
        { "#TRIG -2,", -2 },
        { "#TRIG G5,", 5 }, // the trimmed prefix is a set of characters
        { "#TRIG   T 9, 1", 9 },
        { "#trig 01, 1", -1 },
        { "#TRIG1, 1", -1 },
        { " #TRIG 01, 1", -1 },
        { "#BAUD 9600\r\n", -1 },
        { "\r\n", -1 },
        { "", -1 },
    };
    for (auto& [entry, number] : cases)
        EXPECT_EQ (triggerNumberOf (entry), number) << entry;

    for (auto& entry : headerBlock())
        EXPECT_EQ (triggerNumberOf (entry), -1) << entry;

    EXPECT_EQ (atoiOf (" \t\r\n-12abc"), -12);
    EXPECT_EQ (atoiOf ("- 5"), 0);
    EXPECT_EQ (atoiOf ("99999999999999999999999"), INT_MAX) << "an absurd number must not overflow";
    EXPECT_EQ (atoiOf ("-99999999999999999999999"), INT_MIN);
}

TEST (InitLineModel, NewTriggerLinesGoBeforeHigherNumbersAndAsterisks)
{
    // System lines always go in at the top and must not disturb the order.
    auto lines = headerBlock();
    for (int n : { 5, 2, 9 })
        lines.insert (triggerLineInsertIndex (lines, n), triggerLine (n));
    lines.insert (0, "#VOLM -3" + crlf);
    lines.insert (triggerLineInsertIndex (lines, 7), triggerLine (7));
    lines.insert (0, "#MIDI 1 " + crlf);
    lines.insert (triggerLineInsertIndex (lines, 1), triggerLine (1));

    juce::StringArray numbers;
    for (auto& line : lines)
        numbers.add (juce::String (triggerNumberOf (line)));
    EXPECT_EQ (numbers.joinIntoString (" "), "-1 -1 1 2 5 7 9 -1 -1 -1 -1 -1 -1 -1");
    EXPECT_EQ (lines[7], headerBlock()[0]);

    EXPECT_EQ (triggerLineInsertIndex ({}, 3), 0);
    // A file read from disk keeps its order; the first higher number wins.
    EXPECT_EQ (triggerLineInsertIndex ({ triggerLine (7), triggerLine (3) }, 5), 0);
    // A comment holding "*" takes new lines in front of it, however high up.
    EXPECT_EQ (triggerLineInsertIndex ({ "#BAUD 9600" + crlf, "; ** mine **" + crlf, triggerLine (1) }, 4), 1);
    // A second line for the same trigger goes after the first.
    EXPECT_EQ (triggerLineInsertIndex ({ triggerLine (4), triggerLine (6) }, 4), 1);
    EXPECT_EQ (triggerLineInsertIndex ({ triggerLine (20) }, 16), 0);
}

TEST (InitLineModel, LinesBeyondTheFirst128EntriesCountAsMissing)
{
    juce::StringArray lines;
    for (int i = 0; i < 128; ++i)
        lines.add ("; comment" + crlf);
    lines.add (triggerLine (1));

    EXPECT_EQ (findTriggerLine (lines, 1), 128);
    EXPECT_EQ (findTriggerLine (lines, 2), -1);
    EXPECT_FALSE (isPresentTriggerLine (128));
    EXPECT_FALSE (isPresentTriggerLine (-1));
    EXPECT_TRUE (isPresentTriggerLine (127));
}

TEST (InitLineModel, ViewCutsOverlongEntriesButKeepsTheirLineBreak)
{
    const auto longComment = juce::String::repeatedString ("x", 1030);
    EXPECT_EQ (viewText ({ longComment + crlf, triggerLine (3) }),
               longComment.substring (0, 1024) + crlf + triggerLine (3))
        << "the trigger line after a long comment must stay a line of its own";

    // Characters are counted as code points, not bytes.
    const auto wide = juce::String::repeatedString (juce::String (juce::CharPointer_UTF8 ("\xc3\xa9")), 1100);
    EXPECT_EQ (viewText ({ wide + crlf }).length(), 1024 + 2);

    // An entry of exactly the limit, and one without a line end, stay whole.
    const auto exact = juce::String::repeatedString ("y", 1024);
    EXPECT_EQ (viewText ({ exact + crlf, "tail" }), exact + crlf + "tail");
}
