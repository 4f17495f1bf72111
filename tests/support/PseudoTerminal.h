#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#if ! defined(_WIN32)
#include <termios.h>
#endif

namespace testsupport
{
// A stand-in for a serial port and the device at its far end: the program
// opens getSlavePath() as it would open a port, and the test plays the device
// from the far side. The line is raw from the start (no echo, no line editing,
// no CR/LF translation, no XON/XOFF), so bytes pass unchanged either way.
//
// On Linux it is a pseudo-terminal: the program opens the slave side and the
// test holds the master.
//
// Windows has no pseudo-terminals, but wine opens "\\.\COMn" through a link
// in its prefix, and tools/wine-com-broker.py links a fresh Linux
// pseudo-terminal there for every connection made to it; the object then
// holds such a connection. The broker's address comes from the environment
// variable QUORVEL_WINE_COM_BROKER ("127.0.0.1:PORT"), which
// tools/wine-ctest.sh sets; without it no line can be made and isValid() is
// false. Those lines are COM100 and up, so every friendly name made from one
// has a three-digit number, and the broker keeps reading the far side while
// the test does not, so a test cannot make such a line fill up.
class PseudoTerminal
{
public:
    PseudoTerminal();
    ~PseudoTerminal();

    PseudoTerminal (const PseudoTerminal&) = delete;
    PseudoTerminal& operator= (const PseudoTerminal&) = delete;

    bool isValid() const;

    // The path the program opens, for example "/dev/pts/4" or "\\.\COM100".
    const std::string& getSlavePath() const { return slavePath; }

    // Sends bytes from the far side; waits at most timeoutMs for the line to
    // take them all. Returns whether all were sent.
    bool writeFromFarSide (const void* data, size_t size, int timeoutMs = 5000);

    bool writeFromFarSide (const std::vector<uint8_t>& bytes, int timeoutMs = 5000)
    {
        return writeFromFarSide (bytes.data(), bytes.size(), timeoutMs);
    }

    // Reads at the far side until count bytes have arrived, the line hangs
    // up or timeoutMs passes; returns what arrived.
    std::vector<uint8_t> readFromFarSide (size_t count, int timeoutMs = 5000);

    // Reads whatever arrives until nothing more has come for quietMs.
    std::vector<uint8_t> readUntilQuiet (int quietMs = 100, int timeoutMs = 5000);

    // The device goes away: the program's end of the line hangs up.
    void closeFarSide();

#if defined(_WIN32)
    // "COMn", as it ends a friendly name.
    const std::string& getComName() const
    {
        return comName;
    }
#else
    int getMasterFd() const
    {
        return masterFd;
    }

    // The line settings as the program left them (read through the master).
    bool getLineSettings (termios& settings) const;
#endif

private:
    std::string slavePath;

#if defined(_WIN32)
    // A Winsock SOCKET, kept as its underlying integer so that this header
    // needs no system headers.
    static constexpr std::uintptr_t noSocket = ~(std::uintptr_t) 0;
    std::uintptr_t farSide = noSocket;
    std::string comName;
#else
    int masterFd = -1;
#endif
};

#if defined(_WIN32)
// True when the tests run under wine rather than on Windows itself. Wine
// differs where a test may need to know: it lets a second handle open a COM
// port that is already open, which Windows' serial drivers refuse.
bool runningUnderWine();
#endif
} // namespace testsupport
