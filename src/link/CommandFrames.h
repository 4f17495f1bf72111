#pragma once

#include <array>
#include <cstdint>

#include "link/TriggerSettings.h"

// The board's command frames: 0xF0 0xAA, the frame's total length, a command
// byte, the command's data (little-endian), 0x55. No checksum, no escaping.
namespace frames
{
constexpr uint8_t firstStartByte = 0xF0;
constexpr uint8_t secondStartByte = 0xAA;
constexpr uint8_t endByte = 0x55;

constexpr uint8_t stopAllCommand = 0x04;
constexpr uint8_t triggerSettingsCommand = 0x06;

constexpr int stopAllFrameSize = 5;
constexpr int triggerSettingsFrameSize = 17;

// The board numbers its triggers 0 to 15.
constexpr int highestTriggerIndex = 15;

using StopAllFrame = std::array<uint8_t, stopAllFrameSize>;
using TriggerSettingsFrame = std::array<uint8_t, triggerSettingsFrameSize>;

StopAllFrame makeStopAllFrame();

// Fills frame with the trigger's settings as the board expects them. Only
// the index is checked (it must name one of the board's triggers); every
// other field goes out as given, truncated to the width of its byte(s).
bool makeTriggerSettingsFrame (const TriggerSettings& settings, int triggerIndex, TriggerSettingsFrame& frame);
} // namespace frames
