#include "serial/platform/PortRegistry.h"

#if defined(_WIN32)

namespace PortRegistry
{
int registerDevice (const std::string&, const std::string&)
{
    return 0;
}
bool unregisterDevice (const std::string&)
{
    return false;
}
void unregisterAllDevices() {}
void setListOnlyRegisteredDevices (bool) {}
bool isListingOnlyRegisteredDevices()
{
    return false;
}
std::string getComName (const std::string&)
{
    return {};
}
ScopedRegisteredDevicesOnly::ScopedRegisteredDevicesOnly()
    : wasOnlyRegistered (false)
{
}
ScopedRegisteredDevicesOnly::~ScopedRegisteredDevicesOnly() {}
} // namespace PortRegistry

#else

#include "serial/platform/posix/PortTable.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <set>

#include <dirent.h>
#include <sys/stat.h>

namespace
{
struct Registry
{
    std::mutex lock;
    std::map<std::string, std::string> registered; // device node -> description
    std::set<std::string> scopedAtStart;           // registered when the outermost scope began
    int scopeDepth = 0;
    std::map<std::string, int> comNumbers; // device node -> COM number
    int nextComNumber = 1;
    bool onlyRegistered = false;
};

Registry& registry()
{
    static Registry instance;
    return instance;
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

bool isCharacterDevice (const std::string& path)
{
    struct stat info;
    return ::stat (path.c_str(), &info) == 0 && S_ISCHR (info.st_mode);
}

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

    return names;
}

// Orders "/dev/ttyUSB2" before "/dev/ttyUSB10".
bool naturalLess (const std::string& a, const std::string& b)
{
    size_t i = 0, j = 0;

    while (i < a.size() && j < b.size())
    {
        if (std::isdigit ((unsigned char) a[i]) && std::isdigit ((unsigned char) b[j]))
        {
            size_t ei = i, ej = j;

            while (ei < a.size() && std::isdigit ((unsigned char) a[ei]))
                ++ei;

            while (ej < b.size() && std::isdigit ((unsigned char) b[ej]))
                ++ej;

            auto da = a.substr (i, ei - i), db = b.substr (j, ej - j);
            da.erase (0, std::min (da.find_first_not_of ('0'), da.size() - 1));
            db.erase (0, std::min (db.find_first_not_of ('0'), db.size() - 1));

            if (da.size() != db.size())
                return da.size() < db.size();

            if (da != db)
                return da < db;

            i = ei;
            j = ej;
        }
        else
        {
            if (a[i] != b[j])
                return (unsigned char) a[i] < (unsigned char) b[j];

            ++i;
            ++j;
        }
    }

    return (a.size() - i) < (b.size() - j);
}

// The link to a board finds the port's name by the first "COM" in the
// friendly name, so the COM number must be the only "COM" there.
std::string withoutComWord (std::string text)
{
    for (auto pos = text.find ("COM"); pos != std::string::npos; pos = text.find ("COM", pos))
        text.replace (pos, 3, "Com");

    return text;
}

enum DescriptionRank
{
    noDescription,
    driverName,
    linkName,
    usbString,
    registeredDescription
};

struct FoundDevice
{
    std::string description;
    DescriptionRank rank = noDescription;
    bool likelyBoard = false; // USB, or has a by-id link
};

void describe (FoundDevice& device, const std::string& description, DescriptionRank rank)
{
    if (rank > device.rank && ! description.empty())
    {
        device.description = description;
        device.rank = rank;
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

void findSysfsDevices (std::map<std::string, FoundDevice>& found)
{
    const std::string classDir = "/sys/class/tty";

    for (auto& name : directoryEntries (classDir))
    {
        auto entry = classDir + "/" + name;
        char resolved[PATH_MAX];

        // Virtual consoles, pseudo-terminals and the like have no device.
        if (::realpath ((entry + "/device").c_str(), resolved) == nullptr)
            continue;

        std::string sysfsDevice = resolved;

        // UART drivers register every port they could have; an absent UART
        // reports the type 0.
        auto uartType = readSysfsText (entry + "/type");

        if (uartType == "0")
            continue;

        auto node = "/dev/" + name;

        if (! isCharacterDevice (node))
            continue;

        auto& device = found[canonicalPath (node)];

        if (sysfsDevice.find ("/usb") != std::string::npos)
        {
            device.likelyBoard = true;
            describe (device, usbDescriptorString (sysfsDevice), usbString);
        }

        describe (device, driverOf (sysfsDevice), driverName);
    }
}

void findLinkedDevices (std::map<std::string, FoundDevice>& found)
{
    const std::string linkDir = "/dev/serial/by-id";

    for (auto& name : directoryEntries (linkDir))
    {
        auto target = canonicalPath (linkDir + "/" + name);

        if (! isCharacterDevice (target))
            continue;

        auto& device = found[target];
        device.likelyBoard = true;
        describe (device, name, linkName);
    }
}

int comNumberLocked (Registry& r, const std::string& node)
{
    auto known = r.comNumbers.find (node);

    if (known != r.comNumbers.end())
        return known->second;

    auto number = r.nextComNumber++;
    r.comNumbers[node] = number;
    return number;
}

// "COM12" (any letter case) gives 12; anything else 0.
int parseComName (const std::string& name)
{
    if (name.size() < 4 || name.size() > 12)
        return 0;

    for (int i = 0; i < 3; ++i)
        if (std::toupper ((unsigned char) name[(size_t) i]) != "COM"[i])
            return 0;

    long number = 0;

    for (size_t i = 3; i < name.size(); ++i)
    {
        if (! std::isdigit ((unsigned char) name[i]))
            return 0;

        number = number * 10 + (name[i] - '0');
    }

    return number > 0 && number <= INT_MAX / 2 ? (int) number : 0;
}
} // namespace

namespace serialplatform
{
std::vector<ListedPort> listPresentPorts()
{
    auto& r = registry();
    std::map<std::string, FoundDevice> found;
    std::map<std::string, std::string> registered;
    bool onlyRegistered;

    {
        std::lock_guard<std::mutex> guard (r.lock);
        registered = r.registered;
        onlyRegistered = r.onlyRegistered;
    }

    if (! onlyRegistered)
    {
        findSysfsDevices (found);
        findLinkedDevices (found);
    }

    for (auto& [path, description] : registered)
    {
        if (! isCharacterDevice (path))
            continue;

        auto& device = found[canonicalPath (path)];
        device.description = description;
        device.rank = registeredDescription;
    }

    std::vector<std::pair<std::string, FoundDevice>> ordered (found.begin(), found.end());
    std::stable_sort (ordered.begin(), ordered.end(),
                      [] (const auto& a, const auto& b)
                      {
                          if (a.second.likelyBoard != b.second.likelyBoard)
                              return a.second.likelyBoard;

                          return naturalLess (a.first, b.first);
                      });

    std::vector<ListedPort> ports;
    std::lock_guard<std::mutex> guard (r.lock);

    for (auto& [node, device] : ordered)
    {
        ListedPort port;
        port.devicePath = node;
        port.comNumber = comNumberLocked (r, node);

        auto text = device.description.empty() ? node : device.description + " " + node;
        port.friendlyName = withoutComWord (text) + " (COM" + std::to_string (port.comNumber) + ")";
        ports.push_back (port);
    }

    return ports;
}

std::string resolveDeviceName (const std::string& name)
{
    static const std::string devicePrefix = "\\\\.\\";
    auto rest = name;
    bool hadPrefix = false;

    if (rest.compare (0, devicePrefix.size(), devicePrefix) == 0)
    {
        rest = rest.substr (devicePrefix.size());
        hadPrefix = true;
    }

    auto number = parseComName (rest);

    if (number == 0)
        return hadPrefix ? std::string() : name;

    // Only a device present now answers to its COM name: a number whose device
    // went away must not open whatever later takes over its node.
    for (auto& port : listPresentPorts())
        if (port.comNumber == number)
            return port.devicePath;

    return {};
}
} // namespace serialplatform

namespace PortRegistry
{
int registerDevice (const std::string& devicePath, const std::string& description)
{
    if (devicePath.empty())
        return 0;

    auto node = canonicalPath (devicePath);
    auto& r = registry();
    std::lock_guard<std::mutex> guard (r.lock);
    r.registered[node] = description;
    return comNumberLocked (r, node);
}

bool unregisterDevice (const std::string& devicePath)
{
    auto& r = registry();
    std::lock_guard<std::mutex> guard (r.lock);

    if (r.registered.erase (devicePath) > 0)
        return true;

    return r.registered.erase (canonicalPath (devicePath)) > 0;
}

void unregisterAllDevices()
{
    auto& r = registry();
    std::lock_guard<std::mutex> guard (r.lock);
    r.registered.clear();
}

void setListOnlyRegisteredDevices (bool onlyRegistered)
{
    auto& r = registry();
    std::lock_guard<std::mutex> guard (r.lock);
    r.onlyRegistered = onlyRegistered;
}

bool isListingOnlyRegisteredDevices()
{
    auto& r = registry();
    std::lock_guard<std::mutex> guard (r.lock);
    return r.onlyRegistered;
}

std::string getComName (const std::string& devicePath)
{
    auto& r = registry();
    std::lock_guard<std::mutex> guard (r.lock);

    for (auto& path : { devicePath, canonicalPath (devicePath) })
    {
        auto known = r.comNumbers.find (path);

        if (known != r.comNumbers.end())
            return "COM" + std::to_string (known->second);
    }

    return {};
}

ScopedRegisteredDevicesOnly::ScopedRegisteredDevicesOnly()
{
    auto& r = registry();
    std::lock_guard<std::mutex> guard (r.lock);
    wasOnlyRegistered = r.onlyRegistered;
    r.onlyRegistered = true;

    if (r.scopeDepth++ == 0)
    {
        r.scopedAtStart.clear();

        for (auto& entry : r.registered)
            r.scopedAtStart.insert (entry.first);
    }
}

ScopedRegisteredDevicesOnly::~ScopedRegisteredDevicesOnly()
{
    auto& r = registry();
    std::lock_guard<std::mutex> guard (r.lock);
    r.onlyRegistered = wasOnlyRegistered;

    if (--r.scopeDepth == 0)
    {
        for (auto it = r.registered.begin(); it != r.registered.end();)
        {
            if (r.scopedAtStart.count (it->first) == 0)
                it = r.registered.erase (it);
            else
                ++it;
        }
    }
}
} // namespace PortRegistry

#endif
