#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport
{
// A raw serial line whose far side the test plays; the program opens getSlavePath() as a port.
// On Linux a pseudo-terminal. Under wine a connection to tools/wine-com-broker.py (at
// QUORVEL_WINE_COM_BROKER), which links a fresh pseudo-terminal as "\\.\COMn", n from 100 up,
// and keeps reading its far side, so the line never fills; no broker, no valid line.
class PseudoTerminal
{
public:
    PseudoTerminal();
    ~PseudoTerminal() { closeFarSide(); }
    PseudoTerminal (const PseudoTerminal&) = delete;
    PseudoTerminal& operator= (const PseudoTerminal&) = delete;

    bool isValid() const { return farSide != -1 && ! slavePath.empty(); }
    const std::string& getSlavePath() const { return slavePath; } // "/dev/pts/4", "\\.\COM100"
    const std::string& getComName() const { return comName; }     // "COM100" under wine, else empty
    int getMasterFd() const { return (int) farSide; }             // Linux

    // Whether the line took every byte within timeoutMs.
    bool writeFromFarSide (const void* data, size_t size, int timeoutMs = 5000);
    bool writeFromFarSide (const std::vector<uint8_t>& bytes, int timeoutMs = 5000)
    {
        return writeFromFarSide (bytes.data(), bytes.size(), timeoutMs);
    }

    // What arrives until there are count bytes, the line hangs up or
    // timeoutMs passes; or until nothing more has come for quietMs.
    std::vector<uint8_t> readFromFarSide (size_t count, int timeoutMs = 5000);
    std::vector<uint8_t> readUntilQuiet (int quietMs = 100, int timeoutMs = 5000);

    // The device goes away: the program's end of the line hangs up.
    void closeFarSide();

private:
    size_t transfer (bool sending, uint8_t* data, size_t size, int quietMs, int timeoutMs);

    std::string slavePath, comName;
    std::intptr_t farSide = -1; // the master's descriptor, or a Winsock SOCKET
};
} // namespace testsupport
