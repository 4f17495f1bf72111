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
#include <unistd.h>

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

    // One line; what is shown of it is cleaned where the port list is made.
    std::string line;
    std::getline (in, line);
    return trimmed (line);
}

std::string parentDirectory (const std::string& path)
{
    auto slash = path.find_last_of ('/');
    return slash == std::string::npos || slash == 0 ? std::string() : path.substr (0, slash);
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

// The USB device that a tty belongs to, and the interface on the way there.
struct UsbPlace
{
    std::string device, interface;
};

// The adapter's own USB device is the first directory up from the tty that
// has a vendor id; the hubs and the host controller above it have their own
// strings, which say nothing about the adapter. A tty always hangs below one
// of the device's interfaces.
UsbPlace usbPlaceOf (const std::string& sysfsDevice, const std::string& sysfsRoot)
{
    std::string below;

    for (auto dir = sysfsDevice; dir.compare (0, sysfsRoot.size() + 1, sysfsRoot + "/") == 0;
         below = dir, dir = parentDirectory (dir))
    {
        if (::access ((dir + "/idVendor").c_str(), F_OK) == 0)
            return below.empty() ? UsbPlace() : UsbPlace{ dir, below };
    }

    return {};
}

std::string usbDescription (const UsbPlace& usb)
{
    auto product = readSysfsText (usb.device + "/product");
    return product.empty() ? readSysfsText (usb.interface + "/interface") : product;
}

// Without a serial number, two identical adapters differ only in where they
// are plugged in; the interface folder's name ("1-1.2:1.0") says that.
std::vector<std::string> usbIdentities (const UsbPlace& usb)
{
    auto ids = "usb " + readSysfsText (usb.device + "/idVendor") + ":" + readSysfsText (usb.device + "/idProduct");
    auto serial = readSysfsText (usb.device + "/serial");
    std::vector<std::string> identities;

    if (! serial.empty())
    {
        auto number = readSysfsText (usb.interface + "/bInterfaceNumber");
        identities.push_back (ids + " serial " + serial + " interface " + number);
    }

    identities.push_back (ids + " at " + baseName (usb.interface));
    return identities;
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
    const auto sysfsRoot = canonicalPath (parentDirectory (parentDirectory (roots.ttyClass)));

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

        auto usb = usbPlaceOf (sysfsDevice, sysfsRoot);

        if (! usb.device.empty())
        {
            device.device.likelyBoard = true;
            device.device.identities = usbIdentities (usb);
            describe (device, usbDescription (usb), usbString);
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

std::string baseName (const std::string& path)
{
    auto slash = path.find_last_of ('/');
    return slash == std::string::npos ? path : path.substr (slash + 1);
}

// Sorted, so that a device reached by several links is always described by
// the same one.
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

    for (auto& node : consoleNodes (roots))
        found.erase (node);

    std::vector<ScannedDevice> devices;

    for (auto& [node, entry] : found)
    {
        devices.push_back (entry.device);
        devices.back().identities.push_back (node);
    }

    return devices;
}

void keepIdentities (std::vector<ScannedDevice>& devices, std::map<std::string, std::string>& given)
{
    std::map<std::string, int> claims;

    for (auto& device : devices)
        for (auto& identity : device.identities)
            ++claims[identity];

    std::vector<ScannedDevice*> newcomers;

    for (auto& device : devices)
    {
        auto was = given.find (device.node);
        auto& ids = device.identities;

        // Unplugged and another device under the same node since: not the same.
        if (was != given.end() && std::find (ids.begin(), ids.end(), was->second) != ids.end())
            device.identity = was->second;
        else
            newcomers.push_back (&device);
    }

    for (auto* device : newcomers)
    {
        auto& ids = device->identities;
        auto unique = std::find_if (ids.begin(), ids.end(), [&] (auto& identity) { return claims[identity] == 1; });
        device->identity = unique == ids.end() ? device->node : *unique;
    }

    given.clear();

    for (auto& device : devices)
        given[device.node] = device.identity;
}
} // namespace serialplatform

#endif
