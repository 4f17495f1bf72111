#pragma once

#if ! defined(_WIN32)

#include <functional>
#include <map>
#include <string>
#include <vector>

// Reads which serial devices the machine has. It hands out no COM numbers:
// the listing (PortTable.h) does, by the identity found here.
namespace serialplatform
{
bool isCharacterDevice (const std::string& path);

// The last name of a path.
std::string baseName (const std::string& path);

// The names in a folder, "." and ".." left out, sorted; none where it can't
// be read.
std::vector<std::string> directoryEntries (const std::string& path);

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
    // What the device may be known by while it is away, as Windows knows a
    // device, the most lasting first: a USB adapter's vendor, product, serial
    // number and interface, then the USB port it is plugged into; last, for
    // every device, its node.
    std::vector<std::string> identities;
    // The one of them it is known by, given by keepIdentities. Two devices
    // present at once never share one.
    std::string identity;
    std::string node;         // the node, with every link resolved
    std::string description;  // empty when nothing says what the device is
    bool likelyBoard = false; // USB, or has a by-id link
};

// The serial devices present now, none of them a kernel console, in no
// particular order, their identities not yet given.
std::vector<ScannedDevice> scanSerialDevices (const ScanRoots& roots);

// Gives each device its identity. A device that stays present keeps the one
// it was given: a newcomer that claims the same must not take its COM number.
// A newcomer gets its most lasting identity that no other device present may
// be known by. `given` holds, by node, the identity of each device of the
// previous listing, and afterwards of this one.
void keepIdentities (std::vector<ScannedDevice>& devices, std::map<std::string, std::string>& given);

// The path with every link resolved, or the path itself when it leads
// nowhere.
std::string canonicalPath (const std::string& path);
} // namespace serialplatform

#endif
