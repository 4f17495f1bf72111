#pragma once

#if ! defined(_WIN32)

#include "serial/platform/posix/PortScan.h"

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

// The serial devices present now, in listing order, each with its COM number:
// the machine's, found where the scan roots say, and the registered ones.
// Every identity keeps its number for the life of the process.
std::vector<ListedPort> listPresentPorts();

// The machine's own roots unless set otherwise.
void setScanRoots (const ScanRoots& roots);

// The device path that a name given to CreateFileA stands for: "\\.\COMn" and
// "COMn" (any letter case) through the COM table, anything else unchanged.
// Empty when a COM name belongs to no device present now.
std::string resolveDeviceName (const std::string& name);

// The roots that listings read now, lock folders among them.
ScanRoots currentScanRoots();

// Device sets made by SetupDiGetClassDevsA and not yet destroyed.
int countOpenDeviceSets();
} // namespace serialplatform

#endif
