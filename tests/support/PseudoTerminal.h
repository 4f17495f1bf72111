#pragma once

// Windows has no pseudo-terminals; its tests run under wine, which links COM
// ports to Linux ones.
#if defined(_WIN32)
#include "support/PseudoTerminalWine.h"
#else

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <termios.h>

namespace testsupport
{
// A pseudo-terminal standing in for a serial port and the device at its far
// end: the program opens the slave side by its path, as it would open a
// port, and the test plays the device on the master side.
//
// Both sides are raw from the start (no echo, no line editing, no CR/LF
// translation, no XON/XOFF), so bytes pass unchanged either way.
class PseudoTerminal
{
public:
    PseudoTerminal();
    ~PseudoTerminal();

    PseudoTerminal (const PseudoTerminal&) = delete;
    PseudoTerminal& operator= (const PseudoTerminal&) = delete;

    bool isValid() const { return masterFd >= 0 && ! slavePath.empty(); }

    // The path the program opens, for example "/dev/pts/4".
    const std::string& getSlavePath() const { return slavePath; }
    int getMasterFd() const { return masterFd; }

    // Sends bytes from the far side; waits at most timeoutMs for the line to
    // take them all. Returns whether all were sent.
    bool writeFromFarSide (const void* data, size_t size, int timeoutMs = 5000);
    bool writeFromFarSide (const std::vector<uint8_t>& bytes, int timeoutMs = 5000);

    // Reads at the far side until count bytes have arrived, the line hangs
    // up or timeoutMs passes; returns what arrived.
    std::vector<uint8_t> readFromFarSide (size_t count, int timeoutMs = 5000);

    // Reads whatever arrives until nothing more has come for quietMs.
    std::vector<uint8_t> readUntilQuiet (int quietMs = 100, int timeoutMs = 5000);

    // The line settings as the program left them (read through the master).
    bool getLineSettings (termios& settings) const;

    // The device goes away: the program's end of the line hangs up.
    void closeFarSide();

private:
    int masterFd = -1;
    std::string slavePath;
};
} // namespace testsupport

#endif
