#include <gtest/gtest.h>

#include "link/FrameParser.h"

#include <vector>

namespace
{
using Bytes = std::vector<int>;

Bytes concat (std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (auto& part : parts)
        all.insert (all.end(), part.begin(), part.end());
    return all;
}

Bytes counting (int first, int count)
{
    Bytes bytes;
    for (int i = 0; i < count; ++i)
        bytes.push_back ((first + i) & 0xff);
    return bytes;
}

struct ParserCase
{
    const char* name;
    Bytes input;
    int framesCompleted;
    Bytes bufferStart; // expected rxBuffer[0 ..]
    int positionAfter;
};

// An input queue that does not run dry for a long time, as a board that keeps
// sending looks to the link's thread. (It does end, so that a drain that
// ignores the stop request fails instead of hanging.)
class EndlessInput : public juce::InputStream
{
public:
    static constexpr int runsDryAfter = 1000000;

    juce::int64 getTotalLength() override { return runsDryAfter - bytesRead; }
    bool isExhausted() override { return bytesRead >= runsDryAfter; }
    int read (void* dest, int n) override
    {
        juce::zeromem (dest, (size_t) n);
        bytesRead += n;
        return n;
    }
    juce::int64 getPosition() override { return -1; }
    bool setPosition (juce::int64) override { return false; }

    int bytesRead = 0;
};
} // namespace

TEST (FrameParser, FollowsItsTransitionTable)
{
    const Bytes stopAll{ 0xF0, 0xAA, 0x05, 0x04, 0x55 };
    const Bytes longest = concat ({ { 0xF0, 0xAA, 0x1F }, counting (0x60, 27), { 0x55 } });

    const std::vector<ParserCase> cases{
        { "complete frame", stopAll, 1, { 0x03, 0x04, 0x00 }, 0 },
        { "frame without a command byte", { 0xF0, 0xAA, 0x04, 0x55 }, 1, { 0x02, 0x00 }, 0 },
        { "wrong end byte drops the frame and the byte", { 0xF0, 0xAA, 0x05, 0x04, 0x56 }, 0, { 0x03, 0x04 }, 0 },
        { "after a wrong end byte the next frame counts",
          concat ({ { 0xF0, 0xAA, 0x06, 0x01, 0x02, 0x03 }, stopAll }),
          1,
          { 0x03, 0x04, 0x02 },
          0 },
        { "doubled start byte", { 0xF0, 0xF0, 0xAA, 0x05, 0x04, 0x55 }, 0, { 0x00 }, 0 },
        { "length 0x20 is refused at once", { 0xF0, 0xAA, 0x20, 0x04, 0x55 }, 0, { 0x00 }, 0 },
        { "length 0x00 is refused at once", { 0xF0, 0xAA, 0x00, 0x55 }, 0, { 0x00 }, 0 },
        { "length 0x1F completes with 27 bytes of command and data", longest, 1,
          concat ({ { 0x1D }, counting (0x60, 27), { 0x00 } }), 0 },
        { "length 0x1F with a wrong byte 30", concat ({ { 0xF0, 0xAA, 0x1F }, counting (0x60, 27), { 0x54 } }), 0,
          concat ({ { 0x1D }, counting (0x60, 27) }), 0 },
        // The end position lies behind the collector: 29 bytes are stored,
        // even end and start bytes, and only then does the parser wait again.
        { "length 0x02 swallows the next 29 bytes",
          concat ({ { 0xF0, 0xAA, 0x02, 0x55, 0xF0, 0xAA }, counting (0x10, 26) }), 0,
          concat ({ { 0x00, 0x55, 0xF0, 0xAA }, counting (0x10, 26), { 0x00 } }), 0 },
        { "after 29 swallowed bytes a frame counts again",
          concat ({ { 0xF0, 0xAA, 0x02 }, counting (0x10, 29), stopAll }), 1,
          concat ({ { 0x03, 0x04 }, counting (0x11, 28) }), 0 },
        { "length 0x01 stores 0xFF as its length", { 0xF0, 0xAA, 0x01, 0x42 }, 0, { 0xFF, 0x42 }, 4 },
        { "only the first frame is taken",
          concat ({ stopAll, { 0xF0, 0xAA, 0x06, 0x07, 0x08, 0x55 } }),
          1,
          { 0x03, 0x04, 0x00 },
          0 },
        { "start and end bytes inside the data are data",
          { 0xF0, 0xAA, 0x08, 0x06, 0x55, 0xF0, 0xAA, 0x55 },
          1,
          { 0x06, 0x06, 0x55, 0xF0, 0xAA },
          0 },
        { "noise before a frame is skipped", concat ({ { 0x00, 0x55, 0xAA, 0x13 }, stopAll }), 1, { 0x03, 0x04 }, 0 },
        { "a frame cut short waits for its end", { 0xF0, 0xAA, 0x11, 0x06, 0x00 }, 0, { 0x0F, 0x06, 0x00 }, 5 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);

        FrameParser parser;
        parser.restart();

        int completed = 0;
        for (auto b : c.input)
            if (parser.processByte ((uint8_t) b))
                ++completed;

        EXPECT_EQ (completed, c.framesCompleted);
        EXPECT_EQ (parser.isMessageReady(), c.framesCompleted > 0);
        EXPECT_EQ (parser.getPosition(), c.positionAfter);

        const Bytes buffer (parser.getBuffer(), parser.getBuffer() + c.bufferStart.size());
        EXPECT_EQ (buffer, c.bufferStart);

        // Nothing is ever written past the 30th byte.
        for (int i = 30; i < FrameParser::bufferSize; ++i)
            ASSERT_EQ (parser.getBuffer()[i], 0) << "at " << i;
    }
}

TEST (FrameParser, KeptFrameSurvivesARestartButItsBytesDoNot)
{
    FrameParser parser;

    for (auto b : { 0xF0, 0xAA, 0x07, 0x06, 0x01, 0x02, 0x55 })
        parser.processByte ((uint8_t) b);

    ASSERT_TRUE (parser.isMessageReady());
    EXPECT_EQ (parser.getFrameLength(), 7);
    EXPECT_EQ (parser.getCommand(), 0x06);
    ASSERT_EQ (parser.getDataSize(), 2);
    EXPECT_EQ (parser.getData()[1], 0x02);

    parser.restart();
    EXPECT_TRUE (parser.isMessageReady());
    EXPECT_EQ (parser.getBuffer()[1], 0);

    // Still latched: a new frame is not started.
    for (auto b : { 0xF0, 0xAA, 0x05, 0x04, 0x55 })
        EXPECT_FALSE (parser.processByte ((uint8_t) b));

    parser.acceptNextFrame();
    bool completed = false;
    for (auto b : { 0xF0, 0xAA, 0x05, 0x04, 0x55 })
        completed = parser.processByte ((uint8_t) b);

    EXPECT_TRUE (completed);
    EXPECT_EQ (parser.getCommand(), 0x04);
    EXPECT_EQ (parser.getDataSize(), 0);
}

TEST (FrameParser, DrainReportsFramesAndStopsWhenAskedEvenIfInputNeverRunsDry)
{
    juce::MemoryInputStream twoFrames (juce::MemoryBlock ("\xF0\xAA\x05\x04\x55\x00\xF0\xAA\x05\x04\x55", 11), true);
    FrameParser parser;
    int frameMessages = 0;

    EXPECT_EQ (drainInput (
                   twoFrames, parser, [] { return false; }, [&] { ++frameMessages; }),
               11);
    EXPECT_EQ (frameMessages, 1);

    // Without the stop test inside the drain, this never returns.
    EndlessInput endless;
    int asked = 0;
    drainInput (endless, parser, [&] { return ++asked > 1000; }, {});
    EXPECT_EQ (endless.bytesRead, 1000);
}
