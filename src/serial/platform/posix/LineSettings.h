#pragma once

#if ! defined(_WIN32)

#include "serial/platform/SerialPlatform.h"

#include <termios.h>

namespace serialplatform
{
// Turns a terminal's settings into those that a DCB asks for: a raw line with
// the record's speed, frame and flow control. False, with the settings left
// as they were, for a record that the line cannot carry.
bool lineSettingsFor (const DCB& dcb, termios& settings);
} // namespace serialplatform

#endif
