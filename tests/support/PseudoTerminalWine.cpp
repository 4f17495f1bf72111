#if defined(_WIN32)

#include "support/PseudoTerminal.h"

#include <juce_core/juce_core.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

namespace testsupport
{
namespace
{
using Clock = std::chrono::steady_clock;

int millisecondsLeft (Clock::time_point deadline)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds> (deadline - Clock::now()).count();
    return left > 0 ? (int) left : 0;
}
} // namespace

PseudoTerminal::PseudoTerminal()
{
    const auto* address = std::getenv ("QUORVEL_WINE_COM_BROKER");

    if (address == nullptr)
        return;

    const juce::String broker (address);
    auto socket = std::make_unique<juce::StreamingSocket>();

    if (! socket->connect (broker.upToLastOccurrenceOf (":", false, false),
                           broker.fromLastOccurrenceOf (":", false, false).getIntValue(), 5000))
        return;

    // The broker's first words are the port's name and a line feed; the line
    // is linked by then.
    const auto deadline = Clock::now() + std::chrono::seconds (5);
    std::string name;

    while (name.size() < 8 && socket->waitUntilReady (true, millisecondsLeft (deadline)) == 1)
    {
        char c = 0;

        if (socket->read (&c, 1, false) != 1)
            return;

        if (c == '\n')
        {
            if (name.rfind ("COM", 0) != 0)
                return;

            comName = name;
            slavePath = "\\\\.\\" + name;
            farSide = std::move (socket);
            return;
        }

        name += c;
    }
}

PseudoTerminal::~PseudoTerminal() { closeFarSide(); }

bool PseudoTerminal::writeFromFarSide (const void* data, size_t size, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds (timeoutMs);
    auto* bytes = static_cast<const char*> (data);
    size_t sent = 0;

    while (sent < size && farSide != nullptr)
    {
        if (farSide->waitUntilReady (false, millisecondsLeft (deadline)) != 1)
            return false;

        auto written = farSide->write (bytes + sent, (int) std::min<size_t> (size - sent, 65536));

        if (written < 0)
            return false;

        sent += (size_t) written;
    }

    return sent == size;
}

bool PseudoTerminal::writeFromFarSide (const std::vector<uint8_t>& bytes, int timeoutMs)
{
    return writeFromFarSide (bytes.data(), bytes.size(), timeoutMs);
}

std::vector<uint8_t> PseudoTerminal::readFromFarSide (size_t count, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds (timeoutMs);
    std::vector<uint8_t> received;
    uint8_t block[4096];

    while (received.size() < count && farSide != nullptr)
    {
        const auto ready = farSide->waitUntilReady (true, std::min (millisecondsLeft (deadline), 50));

        if (ready < 0)
            break;

        if (ready == 0)
        {
            if (Clock::now() >= deadline)
                break;

            continue;
        }

        auto got = farSide->read (block, (int) std::min (sizeof (block), count - received.size()), false);

        if (got <= 0)
            break;

        received.insert (received.end(), block, block + got);
    }

    return received;
}

std::vector<uint8_t> PseudoTerminal::readUntilQuiet (int quietMs, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds (timeoutMs);
    std::vector<uint8_t> received;
    uint8_t block[4096];

    while (farSide != nullptr && Clock::now() < deadline)
    {
        if (farSide->waitUntilReady (true, std::min (quietMs, millisecondsLeft (deadline))) != 1)
            break;

        auto got = farSide->read (block, (int) sizeof (block), false);

        if (got <= 0)
            break;

        received.insert (received.end(), block, block + got);
    }

    return received;
}

void PseudoTerminal::closeFarSide()
{
    if (farSide != nullptr)
    {
        farSide->close();
        farSide.reset();
    }
}
} // namespace testsupport

#endif
