#pragma once

#include <juce_core/juce_core.h>

// What the writer's code for each system shares with its common part.
namespace initfile::platform
{
// The name of a new file beside the target: a fixed prefix and a few random
// characters, whatever the target is called, so that a name as long as the
// folder allows still fits.
juce::String temporaryName();
inline constexpr int attemptsAtAFreeName = 100;

// initfile::replaceFileContent on this system; `reason` gets the system's own
// words for a failure, when it gave any.
bool replaceFile (const juce::File& target, const void* data, size_t numBytes, juce::File* newTextKeptIn,
                  juce::String& reason);
} // namespace initfile::platform
