#pragma once

#if ! defined(_WIN32)

#include <string>
#include <vector>

// The ports that the POSIX stand-in for SetupAPI enumerates, and the
// "\\.\COMn" names that its CreateFileA accepts.
namespace serialplatform
{
struct ListedPort
{
    std::string devicePath;   // the device node, for example "/dev/ttyUSB0"
    std::string friendlyName; // description, node and " (COMn)"
    int comNumber = 0;
};

// The serial devices present now, in listing order, each with its COM number.
std::vector<ListedPort> listPresentPorts();

// The device path that a name given to CreateFileA stands for: "\\.\COMn" and
// "COMn" (any letter case) through the COM table, anything else unchanged.
// Empty when a COM name belongs to no device seen so far.
std::string resolveDeviceName (const std::string& name);
} // namespace serialplatform

#endif
