#pragma once

#if ! defined(_WIN32)

#include <functional>
#include <string>
#include <vector>

// Reads which serial devices the machine has. It hands out no COM numbers:
// the listing (PortTable.h) does, by the identity found here.
namespace serialplatform
{
bool isCharacterDevice (const std::string& path);

// The places the scan reads. The defaults are the machine's own; anything
// else is a copy of their layout made elsewhere, for example by a test.
struct ScanRoots
{
    std::string ttyClass = "/sys/class/tty"; // one entry per tty, with "device" and "type"
    std::string devices = "/dev";            // the nodes, by the tty's name
    std::string serialById = "/dev/serial/by-id";
    std::string serialByPath = "/dev/serial/by-path";
    std::string consoles = "/sys/class/tty/console/active"; // the kernel's console ttys, by name

    // Whether a node is one a port can be opened on.
    std::function<bool (const std::string&)> isDevice = isCharacterDevice;

    // Where terminal programs leave "LCK..ttyUSB0" while they use a port.
    std::vector<std::string> lockFolders = { "/run/lock", "/var/lock" };
};

struct ScannedDevice
{
    // What stays the same while the device is away, as Windows knows a
    // device: a USB adapter's vendor, product, serial number and interface,
    // or without a serial number the USB port it is plugged into; any other
    // device's node. Two devices present at once never share one.
    std::string identity;
    std::string node;         // the node, with every link resolved
    std::string description;  // empty when nothing says what the device is
    bool likelyBoard = false; // USB, or has a by-id link
};

// The serial devices present now, none of them a kernel console, in no
// particular order.
std::vector<ScannedDevice> scanSerialDevices (const ScanRoots& roots);

// Whether a lock file in one of the folders says that a live process other
// than this one uses the node.
bool isHeldByLockFile (const std::vector<std::string>& lockFolders, const std::string& node);

// The path with every link resolved, or the path itself when it leads
// nowhere.
std::string canonicalPath (const std::string& path);
} // namespace serialplatform

#endif
