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
#include <map>
#include <mutex>
#include <set>

using serialplatform::canonicalPath;
using serialplatform::isCharacterDevice;

namespace
{
struct Registry
{
    std::mutex lock;
    std::map<std::string, std::string> registered; // device node -> description
    std::set<std::string> scopedAtStart;           // registered when the outermost scope began
    int scopeDepth = 0;
    std::map<std::string, int> comNumbers;              // identity -> COM number
    std::map<std::string, std::string> givenIdentities; // node -> identity, of the machine's devices listed last
    int nextComNumber = 1;
    bool onlyRegistered = false;
    serialplatform::ScanRoots roots;
};

Registry& registry()
{
    static Registry instance;
    return instance;
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

int comNumberLocked (Registry& r, const std::string& identity)
{
    auto known = r.comNumbers.find (identity);

    if (known != r.comNumbers.end())
        return known->second;

    auto number = r.nextComNumber++;
    r.comNumbers[identity] = number;
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
    bool onlyRegistered;
    ScanRoots roots;

    {
        std::lock_guard<std::mutex> guard (r.lock);
        onlyRegistered = r.onlyRegistered;
        roots = r.roots;
    }

    std::vector<ScannedDevice> devices;

    if (! onlyRegistered)
        devices = scanSerialDevices (roots);

    // Identities and numbers are handed out under the lock, each listing
    // starting from the identities the one before it gave.
    std::lock_guard<std::mutex> guard (r.lock);

    if (! onlyRegistered)
        keepIdentities (devices, r.givenIdentities);

    // A registered device keeps the number its registration returned, so its
    // node stays its identity whatever else leads there.
    for (auto& [node, description] : r.registered)
    {
        if (! isCharacterDevice (node))
            continue;

        auto same = std::find_if (devices.begin(), devices.end(), [&] (auto& d) { return d.node == node; });

        if (same == devices.end())
            same = devices.insert (devices.end(), ScannedDevice());

        same->identity = node;
        same->node = node;
        same->description = description;
    }

    std::stable_sort (devices.begin(), devices.end(),
                      [] (const auto& a, const auto& b)
                      {
                          if (a.likelyBoard != b.likelyBoard)
                              return a.likelyBoard;

                          return naturalLess (a.node, b.node);
                      });

    std::vector<ListedPort> ports;

    for (auto& device : devices)
    {
        ListedPort port;
        port.devicePath = device.node;
        port.comNumber = comNumberLocked (r, device.identity);

        auto text = device.description.empty() ? device.node : device.description + " " + device.node;
        port.friendlyName = withoutComWord (text) + " (COM" + std::to_string (port.comNumber) + ")";
        ports.push_back (port);
    }

    return ports;
}

void setScanRoots (const ScanRoots& roots)
{
    auto& r = registry();
    std::lock_guard<std::mutex> guard (r.lock);
    r.roots = roots;
}

ScanRoots currentScanRoots()
{
    auto& r = registry();
    std::lock_guard<std::mutex> guard (r.lock);
    return r.roots;
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

    // Only a device present now answers to its COM name, through the node it
    // has now: a number whose device went away must not open whatever later
    // takes over its node, and an adapter that came back under another node
    // is reached there.
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
