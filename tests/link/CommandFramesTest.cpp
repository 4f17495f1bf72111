#include <gtest/gtest.h>
#include <juce_core/juce_core.h>

#include "link/CommandFrames.h"

TEST (CommandFrames, TriggerSettingsGoOutInTheBoardsLayoutForTheBoardsTriggersOnly)
{
    // Only the low bits of each field travel, the track numbers little-endian.
    // A refused index leaves the frame as it was.
    const struct
    {
        TriggerSettings settings;
        int index;
        const char* bytes;
    } cases[] = {
        { {}, 0, "f0 aa 11 06 00 01 00 01 01 01 01 00 00 00 00 00 55" },
        { { 2, true, 3, 6, false, 13, -20, 300, 4096 }, 15, "f0 aa 11 06 0f 02 01 03 06 00 0d ec 2c 01 00 10 55" },
        { { 0x102, false, 0x301, 0x107, true, 0x10C, 10, 0x12345, 0xABCD },
          3,
          "f0 aa 11 06 03 02 00 01 07 01 0c 0a 45 23 cd ab 55" },
        { {}, 16, "" },
        { {}, -1, "" },
        { {}, 256, "" }
    };

    const auto hex = [] (const frames::TriggerSettingsFrame& f) { return juce::String::toHexString (f.data(), 17); };
    frames::TriggerSettingsFrame untouched;
    untouched.fill (0x77);

    for (const auto& c : cases)
    {
        auto frame = untouched;
        const juce::String wanted (c.bytes);
        EXPECT_EQ (frames::makeTriggerSettingsFrame (c.settings, c.index, frame), wanted.isNotEmpty()) << c.index;
        EXPECT_EQ (hex (frame), wanted.isEmpty() ? hex (untouched) : wanted) << "index " << c.index;
    }
}
