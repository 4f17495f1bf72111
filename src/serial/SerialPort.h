#pragma once

#include <juce_core/juce_core.h>

#include "serial/platform/SerialPlatform.h"

// A serial line configuration. Codes outside the listed ones count as none
// (parity, flow control) or one stop bit.
struct SerialPortConfig
{
    juce::int32 bps = 0;         // bits per second, handed to the driver as it is
    juce::int32 dataBits = 0;    // only the low 8 bits are used
    juce::int32 parity = 0;      // 0 none, 1 odd, 2 even, 3 space, 4 mark
    juce::int32 stopBits = 0;    // 0 one, 1 one and a half, 2 two
    juce::int32 flowControl = 0; // 0 none, 1 hardware (CTS/DSR, DTR/RTS handshaking), 2 software (XON/XOFF)
};

// One COM port, opened by its device path for exclusive, overlapped use.
//
// The streams in SerialPortStreams.h read and write through `handle` while
// they exist; close the port only after both streams are gone.
class SerialPort
{
public:
    SerialPort() = default;
    ~SerialPort();

    // Remembers the path, opens the device and sets it up so that reads
    // return at once with what has arrived and a comm-event wait ends when a
    // byte arrives. False when the device is missing or held by someone else.
    bool open (const juce::String& devicePath);

    // False without touching anything when no port is open, else whether the
    // driver took the settings.
    bool setConfig (const SerialPortConfig& config);

    bool isOpen() const { return handle != nullptr; }

    void close();

    // Friendly name to device path for each COM port present, in the order
    // the system enumerates them; keys ignore letter case.
    static juce::StringPairArray listPorts();

    // The line settings that setConfig hands the driver.
    static DCB makeDcb (const SerialPortConfig& config);

    HANDLE handle = nullptr; // null while closed, never INVALID_HANDLE_VALUE
    juce::String path;       // as given to the last open

private:
    JUCE_DECLARE_NON_COPYABLE (SerialPort)
};
