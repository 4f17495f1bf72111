#pragma once

#include <juce_events/juce_events.h>

#include <functional>

namespace testsupport
{
// Runs the message loop, delivering what is posted, until the condition holds
// or the time limit passes; returns whether the condition held.
bool runMessageLoopUntil (const std::function<bool()>& condition, int timeoutMs = 5000);

// Delivers every message already queued, and what those post in turn.
bool deliverPendingMessages (int timeoutMs = 2000);
} // namespace testsupport
