#if ! defined(_WIN32)

#include "serial/platform/posix/Handles.h"
#include "serial/platform/posix/PortTable.h"

#include <atomic>
#include <cstddef>
#include <cstring>

namespace serialplatform
{
namespace
{
// {4D36E978-E325-11CE-BFC1-08002BE10318}, the setup class of ports.
constexpr GUID portsClass = { 0x4D36E978, 0xE325, 0x11CE, { 0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18 } };

constexpr DWORD interfaceActive = 1;

std::atomic<int> openDeviceSets{ 0 };

// A snapshot of the ports present when the set was made, as SetupAPI's
// device information sets are.
struct DeviceInfoSet : HandleObject
{
    DeviceInfoSet() { ++openDeviceSets; }
    ~DeviceInfoSet() override { --openDeviceSets; }

    std::vector<ListedPort> ports;
};

std::shared_ptr<DeviceInfoSet> findSet (HDEVINFO set)
{
    return findHandleOrFail<DeviceInfoSet> (set);
}

// Device records carry the device's place in the set, plus one, so that a
// zeroed record names no device.
const ListedPort* deviceOf (const DeviceInfoSet& set, const SP_DEVINFO_DATA* deviceInfo)
{
    if (deviceInfo == nullptr || deviceInfo->cbSize != sizeof (SP_DEVINFO_DATA) || deviceInfo->Reserved == 0
        || deviceInfo->Reserved > set.ports.size())
    {
        setLastError (ERROR_INVALID_PARAMETER);
        return nullptr;
    }

    return &set.ports[deviceInfo->Reserved - 1];
}

void describeDevice (SP_DEVINFO_DATA& deviceInfo, size_t index)
{
    deviceInfo.ClassGuid = portsClass;
    deviceInfo.DevInst = (DWORD) index + 1;
    deviceInfo.Reserved = index + 1;
}

BOOL fail (DWORD error)
{
    setLastError (error);
    return 0;
}
} // namespace

int countOpenDeviceSets()
{
    return openDeviceSets;
}
} // namespace serialplatform

using namespace serialplatform;

HDEVINFO SetupDiGetClassDevsA (const GUID* classGuid, LPCSTR, HWND, DWORD flags)
{
    auto set = std::make_shared<DeviceInfoSet>();

    // Only the COM-port interface class is known here; any other request
    // gives an empty set.
    if (classGuid != nullptr && *classGuid == GUID_DEVINTERFACE_COMPORT && (flags & DIGCF_DEVICEINTERFACE) != 0)
        set->ports = listPresentPorts();

    return addHandle (set);
}

BOOL SetupDiEnumDeviceInfo (HDEVINFO handle, DWORD memberIndex, PSP_DEVINFO_DATA deviceInfo)
{
    auto set = findSet (handle);

    if (set == nullptr)
        return 0;

    if (deviceInfo == nullptr || deviceInfo->cbSize != sizeof (SP_DEVINFO_DATA))
        return fail (ERROR_INVALID_USER_BUFFER);

    if (memberIndex >= set->ports.size())
        return fail (ERROR_NO_MORE_ITEMS);

    describeDevice (*deviceInfo, memberIndex);
    return 1;
}

BOOL SetupDiEnumDeviceInterfaces (HDEVINFO handle, PSP_DEVINFO_DATA deviceInfo, const GUID* interfaceClassGuid,
                                  DWORD memberIndex, PSP_DEVICE_INTERFACE_DATA interfaceData)
{
    auto set = findSet (handle);

    if (set == nullptr)
        return 0;

    if (interfaceData == nullptr || interfaceData->cbSize != sizeof (SP_DEVICE_INTERFACE_DATA))
        return fail (ERROR_INVALID_USER_BUFFER);

    if (interfaceClassGuid == nullptr || ! (*interfaceClassGuid == GUID_DEVINTERFACE_COMPORT))
        return fail (ERROR_NO_MORE_ITEMS);

    // Each device has exactly one COM-port interface: within one device only
    // index 0 exists, within the whole set the index is the device's.
    size_t index = memberIndex;

    if (deviceInfo != nullptr)
    {
        auto* device = deviceOf (*set, deviceInfo);

        if (device == nullptr)
            return 0;

        if (memberIndex != 0)
            return fail (ERROR_NO_MORE_ITEMS);

        index = (size_t) (device - set->ports.data());
    }

    if (index >= set->ports.size())
        return fail (ERROR_NO_MORE_ITEMS);

    interfaceData->InterfaceClassGuid = GUID_DEVINTERFACE_COMPORT;
    interfaceData->Flags = interfaceActive;
    interfaceData->Reserved = index + 1;
    return 1;
}

BOOL SetupDiGetDeviceInterfaceDetailA (HDEVINFO handle, PSP_DEVICE_INTERFACE_DATA interfaceData,
                                       PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD detailSize, PDWORD requiredSize,
                                       PSP_DEVINFO_DATA deviceInfo)
{
    auto set = findSet (handle);

    if (set == nullptr)
        return 0;

    if (interfaceData == nullptr || interfaceData->cbSize != sizeof (SP_DEVICE_INTERFACE_DATA)
        || interfaceData->Reserved == 0 || interfaceData->Reserved > set->ports.size())
        return fail (ERROR_INVALID_PARAMETER);

    const size_t index = interfaceData->Reserved - 1;
    const auto& path = set->ports[index].devicePath;
    const auto needed = offsetof (SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + path.size() + 1;

    if (requiredSize != nullptr)
        *requiredSize = (DWORD) needed;

    if (detail == nullptr || detailSize < needed)
        return fail (ERROR_INSUFFICIENT_BUFFER);

    if (detail->cbSize != sizeof (SP_DEVICE_INTERFACE_DETAIL_DATA_A))
        return fail (ERROR_INVALID_USER_BUFFER);

    if (deviceInfo != nullptr && deviceInfo->cbSize != sizeof (SP_DEVINFO_DATA))
        return fail (ERROR_INVALID_USER_BUFFER);

    std::memcpy (detail->DevicePath, path.c_str(), path.size() + 1);

    if (deviceInfo != nullptr)
        describeDevice (*deviceInfo, index);

    return 1;
}

BOOL SetupDiGetDeviceRegistryPropertyA (HDEVINFO handle, PSP_DEVINFO_DATA deviceInfo, DWORD property,
                                        PDWORD propertyRegDataType, PBYTE propertyBuffer, DWORD propertyBufferSize,
                                        PDWORD requiredSize)
{
    auto set = findSet (handle);

    if (set == nullptr)
        return 0;

    auto* device = deviceOf (*set, deviceInfo);

    if (device == nullptr)
        return 0;

    if (property != SPDRP_FRIENDLYNAME)
        return fail (ERROR_INVALID_DATA);

    const auto& name = device->friendlyName;
    const auto needed = name.size() + 1;

    if (propertyRegDataType != nullptr)
        *propertyRegDataType = REG_SZ;

    if (requiredSize != nullptr)
        *requiredSize = (DWORD) needed;

    if (propertyBuffer == nullptr || propertyBufferSize < needed)
        return fail (ERROR_INSUFFICIENT_BUFFER);

    std::memcpy (propertyBuffer, name.c_str(), needed);
    return 1;
}

BOOL SetupDiDestroyDeviceInfoList (HDEVINFO handle)
{
    if (findSet (handle) == nullptr)
        return 0;

    return CloseHandle (handle);
}

#endif
