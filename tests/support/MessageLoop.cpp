#include "support/MessageLoop.h"

#include <memory>

namespace testsupport
{
bool runMessageLoopUntil (const std::function<bool()>& condition, int timeoutMs)
{
    const auto deadline = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;

    while (! condition())
    {
        if (juce::Time::getMillisecondCounter() >= deadline)
            return condition();

        juce::MessageManager::getInstance()->runDispatchLoopUntil (5);
    }

    return true;
}

void drainMessageLoop()
{
    // A marker posted behind everything queued so far; messages posted while
    // those run get a second round.
    for (int round = 0; round < 3; ++round)
    {
        auto delivered = std::make_shared<bool> (false);
        juce::MessageManager::callAsync ([delivered] { *delivered = true; });
        runMessageLoopUntil ([delivered] { return *delivered; }, 5000);
    }
}
} // namespace testsupport
