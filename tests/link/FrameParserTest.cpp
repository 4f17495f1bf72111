#include <gtest/gtest.h>

#include "link/FrameParser.h"

#include <vector>

namespace
{
using Bytes = std::vector<int>;

// "F0 AA 05" as bytes; "27*60" stands for 27 bytes counting up from 0x60.
Bytes bytes (const juce::String& text)
{
    Bytes all;
    for (auto& token : juce::StringArray::fromTokens (text, false))
    {
        const int count = token.contains ("*") ? token.getIntValue() : 1;
        const int first = token.fromLastOccurrenceOf ("*", false, false).getHexValue32();
        for (int i = 0; i < count; ++i)
            all.push_back ((first + i) & 0xff);
    }
    return all;
}

int feed (FrameParser& parser, const juce::String& input)
{
    int completed = 0;
    for (auto b : bytes (input))
        completed += parser.processByte ((uint8_t) b) ? 1 : 0;
    return completed;
}
} // namespace

TEST (FrameParser, FollowsItsTransitionTable)
{
    const struct
    {
        const char *input, *bufferStart;
        int framesCompleted, positionAfter;
    } cases[] = {
        { "F0 AA 05 04 55", "03 04 00", 1, 0 },
        { "F0 AA 04 55", "02 00", 1, 0 },                         // no command byte
        { "F0 AA 06 01 02 03 F0 AA 05 04 55", "03 04 02", 1, 0 }, // wrong end byte, then a frame
        { "F0 AA 20 04 55", "00", 0, 0 },
        { "F0 AA 00 55", "00", 0, 0 },
        { "F0 AA 1F 27*60 55", "1D 27*60 00", 1, 0 },
        // An end position behind the collector: 29 bytes stored, then waiting.
        { "F0 AA 02 55 F0 AA 26*10", "00 55 F0 AA 26*10 00", 0, 0 },
        { "F0 AA 01 42", "FF 42", 0, 4 },
        { "F0 AA 08 06 55 F0 AA 55", "06 06 55 F0 AA", 1, 0 }, // start and end bytes as data
        { "00 55 AA 13 F0 AA 05 04 55", "03 04", 1, 0 },       // noise first
        { "F0 AA 11 06 00", "0F 06 00", 0, 5 },                // cut short
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.input);
        FrameParser parser;
        parser.restart();

        EXPECT_EQ (feed (parser, c.input), c.framesCompleted);
        EXPECT_EQ (parser.isMessageReady(), c.framesCompleted > 0);
        EXPECT_EQ (parser.getPosition(), c.positionAfter);
        const auto wanted = bytes (c.bufferStart);
        EXPECT_EQ (Bytes (parser.getBuffer(), parser.getBuffer() + wanted.size()), wanted);
    }
}

TEST (FrameParser, AByteThatEndsAFrameInErrorNeverStartsTheNextOne)
{
    // Frames cut where the parser drops back to waiting: at the second start byte, the length byte, the
    // end byte of every length that can complete, and the last byte that the lengths below 4 collect.
    juce::StringArray leadIns{ "F0", "F0 AA" };
    for (int length = 1; length <= FrameParser::longestFrame; ++length)
        leadIns.add (juce::String::formatted ("F0 AA %02X %d*20", length, length < 4 ? 28 : length - 4));

    for (auto& leadIn : leadIns)
    {
        SCOPED_TRACE (leadIn);
        FrameParser parser;
        EXPECT_EQ (feed (parser, leadIn + " F0"), 0);
        EXPECT_EQ (parser.getPosition(), 0);
        EXPECT_EQ (feed (parser, "AA 05 04 55"), 0);
    }
}

TEST (FrameParser, DrainReportsFramesAndStopsWhenAskedEvenIfInputNeverRunsDry)
{
    juce::MemoryInputStream twoFrames (juce::MemoryBlock ("\xF0\xAA\x05\x04\x55\x00\xF0\xAA\x05\x04\x55", 11), true);
    FrameParser parser;
    int frameMessages = 0;
    const auto never = [] { return false; };
    EXPECT_EQ (drainInput (twoFrames, parser, never, [&] { ++frameMessages; }), 11);
    EXPECT_EQ (frameMessages, 1);

    // A board that keeps sending: the drain must notice the stop request.
    juce::MemoryInputStream endless (juce::MemoryBlock (100000, true), true);
    int asked = 0;
    EXPECT_EQ (drainInput (endless, parser, [&] { return ++asked > 1000; }, {}), 1000);
}
