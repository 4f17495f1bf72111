#if defined(_WIN32)
#include <winsock2.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#endif

#include "support/PseudoTerminal.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace testsupport
{
PseudoTerminal::PseudoTerminal()
{
#if defined(_WIN32)
    static WSADATA winsock;
    static const bool winsockStarted = ::WSAStartup (MAKEWORD (2, 2), &winsock) == 0;
    const char* broker = std::getenv ("QUORVEL_WINE_COM_BROKER");
    const char* colon = broker != nullptr ? std::strrchr (broker, ':') : nullptr;
    sockaddr_in address{ AF_INET, ::htons (colon != nullptr ? (u_short) std::atoi (colon + 1) : 0) };
    address.sin_addr.s_addr = ::inet_addr (colon != nullptr ? std::string (broker, colon).c_str() : "");
    u_long nonBlocking = 1;

    if (colon != nullptr && winsockStarted)
        farSide = (std::intptr_t)::socket (AF_INET, SOCK_STREAM, IPPROTO_TCP);

    // The broker's first words are the port's name and a line feed; the port
    // is linked by then.
    if (farSide != -1 && ::connect ((SOCKET) farSide, (const sockaddr*) &address, sizeof (address)) == 0
        && ::ioctlsocket ((SOCKET) farSide, FIONBIO, &nonBlocking) == 0)
        for (uint8_t c = 0; transfer (false, &c, 1, 5000, 5000) == 1 && c != '\n' && comName.size() < 8;)
            comName += (char) c;

    if (comName.size() > 3 && comName.rfind ("COM", 0) == 0)
        slavePath = "\\\\.\\" + comName;
#else
    farSide = ::posix_openpt (O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    char name[128] = {};
    termios settings{};

    // Settings made through the master are the slave's.
    if (farSide >= 0 && ::grantpt ((int) farSide) == 0 && ::unlockpt ((int) farSide) == 0
        && ::ptsname_r ((int) farSide, name, sizeof (name)) == 0 && ::tcgetattr ((int) farSide, &settings) == 0)
    {
        ::cfmakeraw (&settings);
        ::tcsetattr ((int) farSide, TCSANOW, &settings);
        slavePath = name;
    }
#endif
}

// Moves bytes until `size` have gone, the line has gone, timeoutMs has passed or nothing moved for quietMs.
size_t PseudoTerminal::transfer (bool sending, uint8_t* data, size_t size, int quietMs, int timeoutMs)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds (timeoutMs);
    size_t done = 0;

    while (done < size)
    {
        const size_t wanted = std::min<size_t> (size - done, 65536);
#if defined(_WIN32)
        const int moved = sending ? ::send ((SOCKET) farSide, (const char*) data + done, (int) wanted, 0)
                                  : ::recv ((SOCKET) farSide, (char*) data + done, (int) wanted, 0);
        const bool tryAgain = moved < 0 && ::WSAGetLastError() == WSAEWOULDBLOCK;
#else
        // A master whose slave nobody holds any more reads EIO.
        const auto moved =
            sending ? ::write ((int) farSide, data + done, wanted) : ::read ((int) farSide, data + done, wanted);
        const bool tryAgain = moved < 0 && (errno == EAGAIN || errno == EINTR);
#endif
        done += moved > 0 ? (size_t) moved : 0;

        if (moved <= 0 && ! tryAgain)
            break;

        // A pty master can report room to write and still refuse the bytes: the deadline counts on its own.
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds> (deadline - Clock::now()).count();
#if defined(_WIN32)
        WSAPOLLFD entry{ (SOCKET) farSide, (SHORT) (sending ? POLLWRNORM : POLLRDNORM), 0 };
        if (tryAgain && (left <= 0 || ::WSAPoll (&entry, 1, (int) std::min<long long> (left, quietMs)) <= 0))
#else
        pollfd entry{ (int) farSide, (short) (sending ? POLLOUT : POLLIN), 0 };
        if (tryAgain && (left <= 0 || ::poll (&entry, 1, (int) std::min<long long> (left, quietMs)) <= 0))
#endif
            break;
    }

    return done;
}

bool PseudoTerminal::writeFromFarSide (const void* data, size_t size, int timeoutMs)
{
    return transfer (true, (uint8_t*) data, size, timeoutMs, timeoutMs) == size;
}

std::vector<uint8_t> PseudoTerminal::readFromFarSide (size_t count, int timeoutMs)
{
    std::vector<uint8_t> received (count);
    received.resize (transfer (false, received.data(), count, timeoutMs, timeoutMs));
    return received;
}

std::vector<uint8_t> PseudoTerminal::readUntilQuiet (int quietMs, int timeoutMs)
{
    std::vector<uint8_t> received (1 << 20);
    received.resize (transfer (false, received.data(), received.size(), quietMs, timeoutMs));
    return received;
}

void PseudoTerminal::closeFarSide()
{
    if (farSide != -1)
#if defined(_WIN32)
        ::closesocket ((SOCKET) farSide);
#else
        ::close ((int) farSide);
#endif
    farSide = -1;
}
} // namespace testsupport
