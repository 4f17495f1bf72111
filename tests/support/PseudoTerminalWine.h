#pragma once

// The Windows build's stand-in for a pseudo-terminal, for tests that run
// under wine. Windows has no pseudo-terminals, but wine opens "\\.\COMn"
// through a link in its prefix, and tools/wine-com-broker.py links a fresh
// Linux pseudo-terminal there for every connection made to it. This object
// holds such a connection: the program opens the port by getSlavePath(),
// and the test plays the device through the connection. The broker's
// address comes from the environment variable QUORVEL_WINE_COM_BROKER
// ("127.0.0.1:PORT"); without it no line can be made and isValid() is false.
// tools/wine-ctest.sh starts the broker and sets the variable.
//
// The line is raw from the start; bytes pass unchanged either way. Lines are
// COM100 and up, so every friendly name made from one has a three-digit
// number. The broker relays the far side, so it keeps reading while the test
// does not: a test cannot make the line fill up by not reading.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport
{
// True when the tests run under wine rather than on Windows itself. Wine
// differs where a test may need to know: it lets a second handle open a COM
// port that is already open, which Windows' serial drivers refuse.
bool runningUnderWine();

class PseudoTerminal
{
public:
    PseudoTerminal();
    ~PseudoTerminal();

    PseudoTerminal (const PseudoTerminal&) = delete;
    PseudoTerminal& operator= (const PseudoTerminal&) = delete;

    bool isValid() const { return farSide != noSocket && ! slavePath.empty(); }

    // The path the program opens: "\\.\COMn".
    const std::string& getSlavePath() const { return slavePath; }

    // "COMn", as it ends a friendly name.
    const std::string& getComName() const { return comName; }

    bool writeFromFarSide (const void* data, size_t size, int timeoutMs = 5000);
    bool writeFromFarSide (const std::vector<uint8_t>& bytes, int timeoutMs = 5000);

    std::vector<uint8_t> readFromFarSide (size_t count, int timeoutMs = 5000);
    std::vector<uint8_t> readUntilQuiet (int quietMs = 100, int timeoutMs = 5000);

    // The device goes away: the program's end of the line hangs up.
    void closeFarSide();

private:
    // A Winsock SOCKET, kept as its underlying integer so that this header
    // needs no system headers.
    static constexpr std::uintptr_t noSocket = ~(std::uintptr_t) 0;
    std::uintptr_t farSide = noSocket;
    std::string comName;
    std::string slavePath;
};
} // namespace testsupport
