#if defined(_WIN32)

#include <winsock2.h>

#include "support/PseudoTerminal.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>

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

// Waits until the socket can be read (or written); false on time-out or error.
bool waitFor (SOCKET socket, bool forWriting, int timeoutMs)
{
    fd_set set;
    FD_ZERO (&set);
    FD_SET (socket, &set);
    timeval limit{ timeoutMs / 1000, (timeoutMs % 1000) * 1000 };
    return ::select (0, forWriting ? nullptr : &set, forWriting ? &set : nullptr, nullptr, &limit) == 1;
}

// What recv or send did: bytes moved, 0 for "try again", -1 for the end.
int outcome (int result)
{
    if (result > 0)
        return result;

    return result == SOCKET_ERROR && ::WSAGetLastError() == WSAEWOULDBLOCK ? 0 : -1;
}
} // namespace

bool runningUnderWine()
{
    const auto ntdll = ::GetModuleHandleA ("ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress (ntdll, "wine_get_version") != nullptr;
}

PseudoTerminal::PseudoTerminal()
{
    const char* broker = std::getenv ("QUORVEL_WINE_COM_BROKER");
    const char* colon = broker != nullptr ? std::strrchr (broker, ':') : nullptr;

    if (colon == nullptr)
        return;

    // Winsock stays up for the rest of the process once a line was asked for.
    static const bool winsockStarted = []
    {
        WSADATA data;
        return ::WSAStartup (MAKEWORD (2, 2), &data) == 0;
    }();

    if (! winsockStarted)
        return;

    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = ::htons ((u_short) std::atoi (colon + 1));
    address.sin_addr.s_addr = ::inet_addr (std::string (broker, colon).c_str());

    const SOCKET socket = ::socket (AF_INET, SOCK_STREAM, IPPROTO_TCP);
    u_long nonBlocking = 1;

    if (socket == INVALID_SOCKET)
        return;

    farSide = (std::uintptr_t) socket;

    if (::connect (socket, reinterpret_cast<const sockaddr*> (&address), sizeof (address)) != 0
        || ::ioctlsocket (socket, FIONBIO, &nonBlocking) != 0)
    {
        closeFarSide();
        return;
    }

    // The broker's first words are the port's name and a line feed; the port
    // is linked by then.
    const auto deadline = Clock::now() + std::chrono::seconds (5);
    std::string name;

    while (name.size() < 8 && waitFor (socket, false, millisecondsLeft (deadline)))
    {
        char c = 0;
        const auto got = outcome (::recv (socket, &c, 1, 0));

        if (got < 0)
            break;

        if (got == 0)
            continue;

        if (c == '\n')
        {
            if (name.rfind ("COM", 0) == 0)
            {
                comName = name;
                slavePath = "\\\\.\\" + name;
                return;
            }

            break;
        }

        name += c;
    }

    closeFarSide();
}

PseudoTerminal::~PseudoTerminal()
{
    closeFarSide();
}

bool PseudoTerminal::isValid() const
{
    return farSide != noSocket && ! slavePath.empty();
}

bool PseudoTerminal::writeFromFarSide (const void* data, size_t size, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds (timeoutMs);
    auto* bytes = static_cast<const char*> (data);
    size_t sent = 0;

    while (sent < size && farSide != noSocket)
    {
        const auto socket = (SOCKET) farSide;
        const auto written = outcome (::send (socket, bytes + sent, (int) std::min<size_t> (size - sent, 65536), 0));

        if (written < 0)
            return false;

        sent += (size_t) written;

        if (written == 0 && ! waitFor (socket, true, millisecondsLeft (deadline)))
            return false;
    }

    return sent == size;
}

std::vector<uint8_t> PseudoTerminal::readFromFarSide (size_t count, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds (timeoutMs);
    std::vector<uint8_t> received;
    char block[4096];

    while (received.size() < count && farSide != noSocket)
    {
        const auto socket = (SOCKET) farSide;
        const auto got = outcome (::recv (socket, block, (int) std::min (sizeof (block), count - received.size()), 0));

        if (got < 0)
            break;

        if (got > 0)
        {
            received.insert (received.end(), block, block + got);
            continue;
        }

        if (Clock::now() >= deadline)
            break;

        waitFor (socket, false, millisecondsLeft (deadline));
    }

    return received;
}

std::vector<uint8_t> PseudoTerminal::readUntilQuiet (int quietMs, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds (timeoutMs);
    std::vector<uint8_t> received;
    char block[4096];

    while (farSide != noSocket && Clock::now() < deadline)
    {
        const auto socket = (SOCKET) farSide;
        const auto got = outcome (::recv (socket, block, (int) sizeof (block), 0));

        if (got < 0)
            break;

        received.insert (received.end(), block, block + got);

        if (got == 0 && ! waitFor (socket, false, std::min (quietMs, millisecondsLeft (deadline))))
            break;
    }

    return received;
}

void PseudoTerminal::closeFarSide()
{
    if (farSide != noSocket)
    {
        ::closesocket ((SOCKET) farSide);
        farSide = noSocket;
    }
}
} // namespace testsupport

#endif
