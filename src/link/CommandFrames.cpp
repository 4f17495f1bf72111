#include "link/CommandFrames.h"

namespace frames
{
namespace
{
uint8_t lowByte (int32_t value)
{
    return (uint8_t) (value & 0xff);
}

uint8_t secondByte (int32_t value)
{
    return (uint8_t) ((value >> 8) & 0xff);
}
} // namespace

StopAllFrame makeStopAllFrame()
{
    return { firstStartByte, secondStartByte, (uint8_t) stopAllFrameSize, stopAllCommand, endByte };
}

bool makeTriggerSettingsFrame (const TriggerSettings& settings, int triggerIndex, TriggerSettingsFrame& frame)
{
    // A negative index would wrap to a trigger number the board does not have.
    if (triggerIndex < 0 || triggerIndex > highestTriggerIndex)
        return false;

    frame = { firstStartByte,
              secondStartByte,
              (uint8_t) triggerSettingsFrameSize,
              triggerSettingsCommand,
              lowByte (triggerIndex),
              lowByte (settings.interfaceId),
              (uint8_t) (settings.invert ? 1 : 0),
              lowByte (settings.typeId),
              lowByte (settings.flags),
              (uint8_t) (settings.polyphonic ? 1 : 0),
              lowByte (settings.functionId),
              lowByte (settings.volumeDb), // two's complement: -20 dB is 0xEC
              lowByte (settings.lowTrack),
              secondByte (settings.lowTrack),
              lowByte (settings.highTrack),
              secondByte (settings.highTrack),
              endByte };
    return true;
}
} // namespace frames
