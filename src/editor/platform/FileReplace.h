#pragma once

#include "editor/InitFileWriter.h"

// What the writer's code for each system shares with its common part.
namespace initfile::platform
{
// The name of a new file beside the target: a fixed prefix and a few random
// characters, whatever the target is called, so that a name as long as the
// folder allows still fits.
juce::String temporaryName();
inline constexpr int attemptsAtAFreeName = 100;

// initfile::replaceFileContent on this system.
bool replaceFile (const juce::File& target, const void* data, size_t numBytes, SaveFailure& failure);
} // namespace initfile::platform
