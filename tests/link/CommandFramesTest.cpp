#include <gtest/gtest.h>

#include "link/CommandFrames.h"

#include <vector>

namespace
{
std::vector<int> bytesOf (const frames::TriggerSettingsFrame& frame)
{
    return { frame.begin(), frame.end() };
}
} // namespace

TEST (CommandFrames, DefaultTriggerOneMatchesTheBoardsLayout)
{
    frames::TriggerSettingsFrame frame{};
    ASSERT_TRUE (frames::makeTriggerSettingsFrame (TriggerSettings{}, 0, frame));

    const std::vector<int> expected{ 0xF0, 0xAA, 0x11, 0x06, 0x00, 0x01, 0x00, 0x01, 0x01,
                                     0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x55 };
    EXPECT_EQ (bytesOf (frame), expected);
}

TEST (CommandFrames, EveryFieldLandsInItsOwnByte)
{
    TriggerSettings settings;
    settings.interfaceId = 2;
    settings.invert = true;
    settings.typeId = 3;
    settings.flags = 6;
    settings.polyphonic = false;
    settings.functionId = 13;
    settings.volumeDb = -20;
    settings.lowTrack = 300;
    settings.highTrack = 4096;

    frames::TriggerSettingsFrame frame{};
    ASSERT_TRUE (frames::makeTriggerSettingsFrame (settings, 15, frame));

    const std::vector<int> expected{ 0xF0, 0xAA, 0x11, 0x06, 0x0F, 0x02, 0x01, 0x03, 0x06,
                                     0x00, 0x0D, 0xEC, 0x2C, 0x01, 0x00, 0x10, 0x55 };
    EXPECT_EQ (bytesOf (frame), expected);

    settings.volumeDb = 10;
    settings.lowTrack = 0x12345; // only the low 16 bits travel
    ASSERT_TRUE (frames::makeTriggerSettingsFrame (settings, 3, frame));
    EXPECT_EQ (frame[4], 0x03);
    EXPECT_EQ (frame[11], 0x0A);
    EXPECT_EQ (frame[12], 0x45);
    EXPECT_EQ (frame[13], 0x23);
}

TEST (CommandFrames, IndicesOutsideTheBoardsTriggersAreRefusedAndLeaveTheFrameAlone)
{
    frames::TriggerSettingsFrame frame{};
    frame.fill (0x77);

    EXPECT_FALSE (frames::makeTriggerSettingsFrame (TriggerSettings{}, 16, frame));
    EXPECT_FALSE (frames::makeTriggerSettingsFrame (TriggerSettings{}, -1, frame));
    EXPECT_FALSE (frames::makeTriggerSettingsFrame (TriggerSettings{}, 256, frame));

    for (auto b : frame)
        EXPECT_EQ (b, 0x77);
}

TEST (CommandFrames, StopAll)
{
    const auto frame = frames::makeStopAllFrame();
    const std::vector<int> expected{ 0xF0, 0xAA, 0x05, 0x04, 0x55 };
    EXPECT_EQ (std::vector<int> (frame.begin(), frame.end()), expected);
}
