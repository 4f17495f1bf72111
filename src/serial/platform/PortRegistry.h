#pragma once

#include <string>

// Serial devices that the program itself makes known, beside the ones the
// machine has. Tests and simulators register pseudo-terminals here so that
// SerialPort::listPorts() lists them and "\\.\COMn" opens them, and can hide
// the machine's own ports so that a listing holds exactly the devices they
// made.
//
// Each device gets its COM number the first time it is seen (registered or
// found present) and keeps it for the life of the process; the number is
// reported here and forms the " (COMn)" at the end of its friendly name. A
// USB adapter found present is known as Windows knows it (by its serial
// number, or without one by the USB port it is plugged into), so that it
// keeps its number when it comes back under another node; any other device,
// and every registered one, by its node. While a device stays present it
// stays known as it was first listed: a clone that turns up claiming the
// same serial number is known by its USB port instead, or by its node.
//
// Windows lists its own COM ports: there these functions do nothing and
// registerDevice() returns 0.
namespace PortRegistry
{
// Adds a device, by its path (for example a pseudo-terminal's "/dev/pts/4"),
// with the description that starts its friendly name. Registering a path again
// replaces its description. Returns the device's COM number (1 and up), or 0
// when the path is empty or registration is not available.
int registerDevice (const std::string& devicePath, const std::string& description);

// Removes a registered device; its COM number stays reserved for it.
// Returns false when the path was not registered.
bool unregisterDevice (const std::string& devicePath);

// Removes every registered device.
void unregisterAllDevices();

// When true, listings hold only registered devices and the machine's own
// ports are ignored. False at start.
void setListOnlyRegisteredDevices (bool onlyRegistered);

// Lists only registered devices while it exists, and restores the earlier
// setting (and removes the devices registered meanwhile) when it ends.
class ScopedRegisteredDevicesOnly
{
public:
    ScopedRegisteredDevicesOnly();
    ~ScopedRegisteredDevicesOnly();

    ScopedRegisteredDevicesOnly (const ScopedRegisteredDevicesOnly&) = delete;
    ScopedRegisteredDevicesOnly& operator= (const ScopedRegisteredDevicesOnly&) = delete;

private:
    bool wasOnlyRegistered;
};
} // namespace PortRegistry
