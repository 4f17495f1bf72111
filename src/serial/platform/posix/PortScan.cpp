#if ! defined(_WIN32)

#include "serial/platform/posix/PortScan.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include <dirent.h>
#include <sys/stat.h>

namespace serialplatform
{
namespace
{
std::string trimmed (const std::string& text)
{
    auto begin = text.find_first_not_of (" \t\r\n");

    if (begin == std::string::npos)
        return {};

    auto end = text.find_last_not_of (" \t\r\n");
    return text.substr (begin, end - begin + 1);
}

std::string readSysfsText (const std::string& path)
{
    std::ifstream in (path);

    if (! in)
        return {};

    std::string line;
    std::getline (in, line);

    // A descriptor string is shown in a combo box: keep it on one line.
    for (auto& c : line)
        if (static_cast<unsigned char> (c) < 0x20)
            c = ' ';

    return trimmed (line);
}

std::string baseName (const std::string& path)
{
    auto slash = path.find_last_of ('/');
    return slash == std::string::npos ? path : path.substr (slash + 1);
}

std::string parentDirectory (const std::string& path)
{
    auto slash = path.find_last_of ('/');
    return slash == std::string::npos || slash == 0 ? std::string() : path.substr (0, slash);
}

// Sorted, so that a device reached by several links always gets the same one
// as its identity.
std::vector<std::string> directoryEntries (const std::string& path)
{
    std::vector<std::string> names;

    if (auto* dir = ::opendir (path.c_str()))
    {
        while (auto* entry = ::readdir (dir))
        {
            std::string name = entry->d_name;

            if (name != "." && name != "..")
                names.push_back (name);
        }

        ::closedir (dir);
    }

    std::sort (names.begin(), names.end());
    return names;
}

enum DescriptionRank
{
    noDescription,
    driverName,
    linkName,
    usbString
};

struct FoundDevice
{
    ScannedDevice device;
    DescriptionRank rank = noDescription;
};

void describe (FoundDevice& found, const std::string& description, DescriptionRank rank)
{
    if (rank > found.rank && ! description.empty())
    {
        found.device.description = description;
        found.rank = rank;
    }
}

std::string usbDescriptorString (const std::string& sysfsDevice)
{
    // A tty's sysfs device is the USB interface, or a port below it; the
    // product string sits with the USB device above the interface.
    std::string interfaceString;
    auto dir = sysfsDevice;

    for (int level = 0; level < 5 && ! dir.empty(); ++level, dir = parentDirectory (dir))
    {
        auto product = readSysfsText (dir + "/product");

        if (! product.empty())
            return product;

        if (interfaceString.empty())
            interfaceString = readSysfsText (dir + "/interface");
    }

    return interfaceString;
}

// Newer kernels put a generic port device of the serial core between the
// tty and the device that the UART driver serves: its name says more.
std::string driverOf (const std::string& sysfsDevice)
{
    std::string fallback;
    auto dir = sysfsDevice;

    for (int level = 0; level < 3 && ! dir.empty(); ++level, dir = parentDirectory (dir))
    {
        char resolved[PATH_MAX];

        if (::realpath ((dir + "/driver").c_str(), resolved) == nullptr)
            continue;

        std::string driver = resolved;

        if (driver.find ("/serial-base/") == std::string::npos)
            return baseName (driver);

        if (fallback.empty())
            fallback = baseName (driver);
    }

    return fallback;
}

FoundDevice& entryFor (std::map<std::string, FoundDevice>& found, const std::string& node)
{
    auto& entry = found[node];
    entry.device.node = node;
    return entry;
}

void findSysfsDevices (const ScanRoots& roots, std::map<std::string, FoundDevice>& found)
{
    for (auto& name : directoryEntries (roots.ttyClass))
    {
        auto entry = roots.ttyClass + "/" + name;
        char resolved[PATH_MAX];

        // Virtual consoles, pseudo-terminals and the like have no device.
        if (::realpath ((entry + "/device").c_str(), resolved) == nullptr)
            continue;

        std::string sysfsDevice = resolved;

        // UART drivers register every port they could have; an absent UART
        // reports the type 0.
        if (readSysfsText (entry + "/type") == "0")
            continue;

        auto node = roots.devices + "/" + name;

        if (! roots.isDevice (node))
            continue;

        auto& device = entryFor (found, canonicalPath (node));

        if (sysfsDevice.find ("/usb") != std::string::npos)
        {
            device.device.likelyBoard = true;
            describe (device, usbDescriptorString (sysfsDevice), usbString);
        }

        describe (device, driverOf (sysfsDevice), driverName);
    }
}

void findLinkedDevices (const ScanRoots& roots, std::map<std::string, FoundDevice>& found)
{
    for (auto& name : directoryEntries (roots.serialById))
    {
        auto target = canonicalPath (roots.serialById + "/" + name);

        if (! roots.isDevice (target))
            continue;

        auto& device = entryFor (found, target);

        if (device.device.identity.empty())
            device.device.identity = name;

        device.device.likelyBoard = true;
        describe (device, name, linkName);
    }
}

// The kernel writes its messages to these lines and may run a login on them;
// a board is never on one.
std::set<std::string> consoleNodes (const ScanRoots& roots)
{
    std::set<std::string> nodes;
    std::istringstream names (readSysfsText (roots.consoles));

    for (std::string name; names >> name;)
        if (name.find ('/') == std::string::npos)
            nodes.insert (canonicalPath (roots.devices + "/" + name));

    return nodes;
}
} // namespace

bool isCharacterDevice (const std::string& path)
{
    struct stat info;
    return ::stat (path.c_str(), &info) == 0 && S_ISCHR (info.st_mode);
}

// Devices reached by several roads (a by-id link, a sysfs entry, a
// registration) are told apart by the node that all those roads lead to.
std::string canonicalPath (const std::string& path)
{
    char resolved[PATH_MAX];

    if (::realpath (path.c_str(), resolved) != nullptr)
        return resolved;

    return path;
}

std::vector<ScannedDevice> scanSerialDevices (const ScanRoots& roots)
{
    std::map<std::string, FoundDevice> found;
    findSysfsDevices (roots, found);
    findLinkedDevices (roots, found);

    const auto consoles = consoleNodes (roots);
    std::vector<ScannedDevice> devices;

    for (auto& [node, entry] : found)
    {
        if (consoles.count (node) != 0)
            continue;

        if (entry.device.identity.empty())
            entry.device.identity = node;

        devices.push_back (entry.device);
    }

    return devices;
}
} // namespace serialplatform

#endif
