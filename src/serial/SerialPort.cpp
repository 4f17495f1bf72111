#include "serial/SerialPort.h"

#include <cstring>

namespace
{
constexpr DWORD detailBufferSize = 261;
constexpr DWORD friendlyNameBufferSize = 1024;

// Text that the platform hands back: UTF-8 where it is valid (Linux), else
// each byte as its own character, so that no byte is lost or misread.
juce::String textFromPlatform (const char* text, size_t length)
{
    if (juce::CharPointer_UTF8::isValidString (text, (int) length))
        return juce::String::fromUTF8 (text, (int) length);

    juce::String result;
    result.preallocateBytes (length * 2);

    for (size_t i = 0; i < length; ++i)
        result += juce::String::charToString ((juce::juce_wchar) (unsigned char) text[i]);

    return result;
}

// Controls would garble the combo box, and the marks that reorder text could
// make one port's name pass for another's; each becomes a blank.
juce::String nameToShow (const juce::String& name)
{
    juce::String shown;
    shown.preallocateBytes (name.getNumBytesAsUTF8());

    for (auto c : name)
    {
        const bool hidden = c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0x200e || c == 0x200f
                            || (c >= 0x202a && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069);
        shown += hidden ? (juce::juce_wchar) ' ' : c;
    }

    return shown;
}

// The length of a NUL-terminated text that must end inside its buffer, or -1.
int terminatedLength (const char* text, size_t capacity)
{
    auto length = ::strnlen (text, capacity);
    return length < capacity ? (int) length : -1;
}
} // namespace

SerialPort::~SerialPort()
{
    // The owner normally closes the port itself; an open handle must not
    // outlive the object and keep the device locked.
    close();
}

bool SerialPort::open (const juce::String& devicePath)
{
    path = devicePath;

    // The system opens each port object once; should it open again, the
    // device held so far is let go first.
    close();

    handle = CreateFileA (devicePath.toRawUTF8(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                          FILE_FLAG_OVERLAPPED, nullptr);

    if (handle == INVALID_HANDLE_VALUE)
    {
        handle = nullptr;
        return false;
    }

    // The reader relies on reads that return at once with whatever has
    // arrived, so the time-outs are written whether or not the old ones
    // could be read.
    COMMTIMEOUTS timeouts{};
    GetCommTimeouts (handle, &timeouts);
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 0;
    SetCommTimeouts (handle, &timeouts);

    SetCommMask (handle, EV_RXCHAR);
    return true;
}

DCB SerialPort::makeDcb (const SerialPortConfig& config)
{
    const bool hardwareFlow = config.flowControl == 1;
    const bool softwareFlow = config.flowControl == 2;

    DCB dcb;
    std::memset (&dcb, 0, sizeof (dcb));

    dcb.DCBlength = sizeof (DCB);
    dcb.BaudRate = (DWORD) config.bps;
    dcb.fBinary = 1;
    dcb.fParity = config.parity >= 1 && config.parity <= 4 ? 1 : 0;
    dcb.fOutxCtsFlow = hardwareFlow ? 1 : 0;
    dcb.fOutxDsrFlow = hardwareFlow ? 1 : 0;
    dcb.fDtrControl = hardwareFlow ? DTR_CONTROL_HANDSHAKE : DTR_CONTROL_ENABLE;
    dcb.fRtsControl = hardwareFlow ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    dcb.fOutX = softwareFlow ? 1 : 0;
    dcb.fInX = softwareFlow ? 1 : 0;
    dcb.XonLim = 2048;
    dcb.XoffLim = 512;
    dcb.ByteSize = (BYTE) (config.dataBits & 0xff);

    switch (config.parity)
    {
        case 1: dcb.Parity = ODDPARITY; break;
        case 2: dcb.Parity = EVENPARITY; break;
        case 3: dcb.Parity = SPACEPARITY; break; // our codes for space and mark are the
        case 4: dcb.Parity = MARKPARITY; break;  // other way round from the driver's
        default: dcb.Parity = NOPARITY; break;
    }

    switch (config.stopBits)
    {
        case 1: dcb.StopBits = ONE5STOPBITS; break;
        case 2: dcb.StopBits = TWOSTOPBITS; break;
        default: dcb.StopBits = ONESTOPBIT; break;
    }

    // Drivers refuse a record whose XON and XOFF characters are equal, as
    // they would be left at zero; these are the usual DC1 and DC3.
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;

    return dcb;
}

bool SerialPort::setConfig (const SerialPortConfig& config)
{
    if (handle == nullptr)
        return false;

    auto dcb = makeDcb (config);
    return SetCommState (handle, &dcb) != 0;
}

void SerialPort::close()
{
    if (handle != nullptr)
    {
        CloseHandle (handle);
        handle = nullptr;
    }
}

juce::StringPairArray SerialPort::listPorts()
{
    juce::StringPairArray ports (true);

    // DWORD-sized storage keeps the record aligned as SetupAPI wants it.
    juce::HeapBlock<DWORD> detailStorage ((detailBufferSize + sizeof (DWORD) - 1) / sizeof (DWORD));
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*> (detailStorage.get());
    const auto pathOffset = (size_t) (reinterpret_cast<char*> (detail->DevicePath) - reinterpret_cast<char*> (detail));
    const auto pathCapacity = (size_t) detailBufferSize - pathOffset;

    HDEVINFO deviceSet =
        SetupDiGetClassDevsA (&GUID_DEVINTERFACE_COMPORT, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);

    if (deviceSet == INVALID_HANDLE_VALUE)
        return ports;

    // Each device is asked for its path through its interface, and for its
    // name through the device that the interface reports as its owner; a
    // device whose path or name cannot be read whole is left out rather than
    // listed with a guess.
    SP_DEVINFO_DATA deviceInfo;
    std::memset (&deviceInfo, 0, sizeof (deviceInfo));
    deviceInfo.cbSize = sizeof (deviceInfo);

    for (DWORD index = 0; SetupDiEnumDeviceInfo (deviceSet, index, &deviceInfo); ++index)
    {
        SP_DEVICE_INTERFACE_DATA interfaceData;
        std::memset (&interfaceData, 0, sizeof (interfaceData));
        interfaceData.cbSize = sizeof (interfaceData);

        if (! SetupDiEnumDeviceInterfaces (deviceSet, nullptr, &GUID_DEVINTERFACE_COMPORT, index, &interfaceData))
            continue;

        std::memset (detailStorage.get(), 0, detailBufferSize);
        detail->cbSize = sizeof (SP_DEVICE_INTERFACE_DETAIL_DATA_A);

        if (! SetupDiGetDeviceInterfaceDetailA (deviceSet, &interfaceData, detail, detailBufferSize, nullptr,
                                                &deviceInfo))
            continue;

        char friendlyName[friendlyNameBufferSize] = {};
        DWORD valueType = 0, requiredSize = 0;

        if (! SetupDiGetDeviceRegistryPropertyA (deviceSet, &deviceInfo, SPDRP_FRIENDLYNAME, &valueType,
                                                 reinterpret_cast<BYTE*> (friendlyName), friendlyNameBufferSize,
                                                 &requiredSize))
            continue;

        auto pathLength = terminatedLength (detail->DevicePath, pathCapacity);
        auto nameLength = terminatedLength (friendlyName, friendlyNameBufferSize);

        if (pathLength <= 0 || nameLength <= 0)
            continue;

        ports.set (nameToShow (textFromPlatform (friendlyName, (size_t) nameLength)),
                   textFromPlatform (detail->DevicePath, (size_t) pathLength));
    }

    SetupDiDestroyDeviceInfoList (deviceSet);
    return ports;
}
