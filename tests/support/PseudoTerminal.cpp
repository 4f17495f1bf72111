#if ! defined(_WIN32)

#include "support/PseudoTerminal.h"

#include <cerrno>
#include <chrono>
#include <algorithm>
#include <cstdlib>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

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
    masterFd = ::posix_openpt (O_RDWR | O_NOCTTY | O_CLOEXEC);

    if (masterFd < 0)
        return;

    char name[128] = {};

    if (::grantpt (masterFd) != 0 || ::unlockpt (masterFd) != 0 || ::ptsname_r (masterFd, name, sizeof (name)) != 0)
    {
        closeFarSide();
        return;
    }

    slavePath = name;
    ::fcntl (masterFd, F_SETFL, ::fcntl (masterFd, F_GETFL) | O_NONBLOCK);

    // Settings made through the master are the slave's; the master side
    // itself passes bytes through untouched.
    termios settings{};

    if (::tcgetattr (masterFd, &settings) == 0)
    {
        ::cfmakeraw (&settings);
        settings.c_cflag |= CLOCAL | CREAD;
        ::tcsetattr (masterFd, TCSANOW, &settings);
    }
}

PseudoTerminal::~PseudoTerminal()
{
    closeFarSide();
}

bool PseudoTerminal::isValid() const
{
    return masterFd >= 0 && ! slavePath.empty();
}

bool PseudoTerminal::writeFromFarSide (const void* data, size_t size, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds (timeoutMs);
    auto* bytes = static_cast<const uint8_t*> (data);
    size_t sent = 0;

    while (sent < size && masterFd >= 0)
    {
        auto written = ::write (masterFd, bytes + sent, size - sent);

        if (written > 0)
        {
            sent += (size_t) written;
            continue;
        }

        if (written < 0 && errno != EAGAIN && errno != EINTR)
            return false;

        // A pty master can report room to write and still refuse the bytes,
        // so the deadline is checked on its own, not only when poll times out.
        if (Clock::now() >= deadline)
            return false;

        pollfd entry{ masterFd, POLLOUT, 0 };
        ::poll (&entry, 1, millisecondsLeft (deadline));
    }

    return sent == size;
}

std::vector<uint8_t> PseudoTerminal::readFromFarSide (size_t count, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds (timeoutMs);
    std::vector<uint8_t> received;
    uint8_t block[4096];

    while (received.size() < count && masterFd >= 0)
    {
        auto got = ::read (masterFd, block, std::min (sizeof (block), count - received.size()));

        if (got > 0)
        {
            received.insert (received.end(), block, block + got);
            continue;
        }

        // EIO: no one has the slave open any more.
        if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR))
            break;

        if (Clock::now() >= deadline)
            break;

        pollfd entry{ masterFd, POLLIN, 0 };
        ::poll (&entry, 1, std::min (millisecondsLeft (deadline), 50));
    }

    return received;
}

std::vector<uint8_t> PseudoTerminal::readUntilQuiet (int quietMs, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds (timeoutMs);
    std::vector<uint8_t> received;
    uint8_t block[4096];

    while (masterFd >= 0 && Clock::now() < deadline)
    {
        auto got = ::read (masterFd, block, sizeof (block));

        if (got > 0)
        {
            received.insert (received.end(), block, block + got);
            continue;
        }

        if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR))
            break;

        pollfd entry{ masterFd, POLLIN, 0 };

        if (::poll (&entry, 1, std::min (quietMs, millisecondsLeft (deadline))) == 0)
            break;
    }

    return received;
}

bool PseudoTerminal::getLineSettings (termios& settings) const
{
    return masterFd >= 0 && ::tcgetattr (masterFd, &settings) == 0;
}

void PseudoTerminal::closeFarSide()
{
    if (masterFd >= 0)
    {
        ::close (masterFd);
        masterFd = -1;
    }
}
} // namespace testsupport

#endif
