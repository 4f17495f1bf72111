#pragma once

#include <cstdint>

// One trigger's settings, in the order in which both the "#TRIG" line of the
// init file and the board's trigger-settings frame carry them.
struct TriggerSettings
{
    int32_t interfaceId = 1; // 1 contact closure, 2 active (3.3V / 5V)
    bool invert = false;
    int32_t typeId = 1; // 1 edge, 2 level, 3 latch
    int32_t flags = 1;  // bit 0 re-triggers, bit 1 loop, bit 2 lock voice
    bool polyphonic = true;
    int32_t functionId = 1; // 1 normal ... 13 trig bank down
    int32_t volumeDb = 0;
    int32_t lowTrack = 0;
    int32_t highTrack = 0;
};
