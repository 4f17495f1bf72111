#pragma once

#include <juce_core/juce_core.h>

#include <cstddef>
#include <functional>

namespace initfile::platform
{
// Hands the bytes of a plain file to `take`, piece by piece and in order,
// until the file ends or `take` returns false. Links are followed. False when
// the name leads to no plain file or a read fails: a pipe, socket, device or
// folder is refused at once, never waited on.
bool readPlainFile (const juce::File& file, const std::function<bool (const char* data, size_t numBytes)>& take);
} // namespace initfile::platform
