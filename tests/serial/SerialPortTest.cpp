#include <gtest/gtest.h>

#include "serial/SerialPort.h"
#include "serial/platform/PortRegistry.h"
#include "support/PseudoTerminal.h"

#include <cstring>

namespace
{
// The DWORD of bit fields that follows DCBlength and BaudRate.
DWORD flagWord (const DCB& dcb)
{
    DWORD word = 0;
    std::memcpy (&word, reinterpret_cast<const char*> (&dcb) + 2 * sizeof (DWORD), sizeof (word));
    return word;
}

SerialPortConfig config (int bps, int dataBits, int parity, int stopBits, int flowControl)
{
    SerialPortConfig c;
    c.bps = bps;
    c.dataBits = dataBits;
    c.parity = parity;
    c.stopBits = stopBits;
    c.flowControl = flowControl;
    return c;
}

const SerialPortConfig boardLine = config (57600, 8, 0, 0, 0);
} // namespace

TEST (SerialPortDcb, BoardLineSettings)
{
    auto dcb = SerialPort::makeDcb (boardLine);

    EXPECT_EQ (dcb.DCBlength, 28u);
    EXPECT_EQ (dcb.BaudRate, 57600u);
    EXPECT_EQ (dcb.ByteSize, 8);
    EXPECT_EQ (dcb.Parity, NOPARITY);
    EXPECT_EQ (dcb.StopBits, ONESTOPBIT);
    EXPECT_EQ (dcb.XonLim, 2048);
    EXPECT_EQ (dcb.XoffLim, 512);
    EXPECT_EQ (flagWord (dcb), 0x1011u); // binary, DTR and RTS on, no handshaking of any kind
    EXPECT_NE (dcb.XonChar, dcb.XoffChar);
}

TEST (SerialPortDcb, ParityCodesIncludingSwappedSpaceAndMark)
{
    struct Case
    {
        int code;
        BYTE parity;
        DWORD checked;
    };

    for (auto c : { Case{ 1, ODDPARITY, 1 }, Case{ 2, EVENPARITY, 1 }, Case{ 3, SPACEPARITY, 1 },
                    Case{ 4, MARKPARITY, 1 }, Case{ 0, NOPARITY, 0 }, Case{ 9, NOPARITY, 0 }, Case{ -1, NOPARITY, 0 } })
    {
        auto dcb = SerialPort::makeDcb (config (9600, 8, c.code, 0, 0));
        EXPECT_EQ (dcb.Parity, c.parity) << "code " << c.code;
        EXPECT_EQ (dcb.fParity, c.checked) << "code " << c.code;
    }
}

TEST (SerialPortDcb, StopBitsDataBitsAndFlowControl)
{
    EXPECT_EQ (SerialPort::makeDcb (config (9600, 5, 0, 1, 0)).StopBits, ONE5STOPBITS);
    EXPECT_EQ (SerialPort::makeDcb (config (9600, 8, 0, 2, 0)).StopBits, TWOSTOPBITS);
    EXPECT_EQ (SerialPort::makeDcb (config (9600, 8, 0, 7, 0)).StopBits, ONESTOPBIT);
    EXPECT_EQ (SerialPort::makeDcb (config (9600, 0x107, 0, 0, 0)).ByteSize, 7); // low 8 bits only

    auto hardware = SerialPort::makeDcb (config (9600, 8, 0, 0, 1));
    EXPECT_EQ (hardware.fOutxCtsFlow, 1u);
    EXPECT_EQ (hardware.fOutxDsrFlow, 1u);
    EXPECT_EQ (hardware.fDtrControl, (DWORD) DTR_CONTROL_HANDSHAKE);
    EXPECT_EQ (hardware.fRtsControl, (DWORD) RTS_CONTROL_HANDSHAKE);
    EXPECT_EQ (hardware.fOutX, 0u);

    auto software = SerialPort::makeDcb (config (9600, 8, 0, 0, 2));
    EXPECT_EQ (software.fOutX, 1u);
    EXPECT_EQ (software.fInX, 1u);
    EXPECT_EQ (software.fDtrControl, (DWORD) DTR_CONTROL_ENABLE);

    // An unknown code is no flow control at all.
    EXPECT_EQ (flagWord (SerialPort::makeDcb (config (9600, 8, 0, 0, 3))), 0x1011u);
}

TEST (SerialPortOpen, MissingDeviceLeavesPortClosedWithPath)
{
    SerialPort port;
    EXPECT_FALSE (port.open ("/dev/no-such-serial-device"));
    EXPECT_FALSE (port.isOpen());
    EXPECT_EQ (port.handle, nullptr);
    EXPECT_EQ (port.path, "/dev/no-such-serial-device");

    // Never opened: nothing to configure, nothing to close.
    EXPECT_FALSE (port.setConfig (boardLine));
    port.close();
    EXPECT_FALSE (port.isOpen());
}

TEST (SerialPortOpen, PortIsForOneUserAtATime)
{
    testsupport::PseudoTerminal line;
    ASSERT_TRUE (line.isValid());

    SerialPort first, second;
    ASSERT_TRUE (first.open (line.getSlavePath()));
    EXPECT_FALSE (second.open (line.getSlavePath()));
    EXPECT_EQ (second.handle, nullptr);

    first.close();
    EXPECT_FALSE (first.isOpen());
    EXPECT_TRUE (second.open (line.getSlavePath()));
}

TEST (SerialPortOpen, AppliesBoardLineAndStaysRaw)
{
    testsupport::PseudoTerminal line;
    ASSERT_TRUE (line.isValid());

    SerialPort port;
    ASSERT_TRUE (port.open (line.getSlavePath()));
    EXPECT_TRUE (port.setConfig (boardLine));

#if ! defined(_WIN32)
    termios settings{};
    ASSERT_TRUE (line.getLineSettings (settings));
    EXPECT_EQ (cfgetospeed (&settings), (speed_t) B57600);
    EXPECT_EQ (settings.c_cflag & CSIZE, (tcflag_t) CS8);
    EXPECT_EQ (settings.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ (settings.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ (settings.c_iflag & (ICRNL | INLCR | IGNCR | IXON | IXOFF), 0u);
    EXPECT_EQ (settings.c_oflag & OPOST, 0u);

    // A rate the line does not know is refused, and the port stays usable.
    EXPECT_FALSE (port.setConfig (config (12345, 8, 0, 0, 0)));
    EXPECT_TRUE (port.setConfig (config (115200, 8, 2, 2, 0)));
    ASSERT_TRUE (line.getLineSettings (settings));
    EXPECT_EQ (cfgetospeed (&settings), (speed_t) B115200);
#endif
}

// Pseudo-terminals are listed through the registry, which Windows does not have.
#if ! defined(_WIN32)

TEST (SerialPortList, ListsRegisteredPseudoTerminalAndOpensItByComName)
{
    PortRegistry::ScopedRegisteredDevicesOnly onlyOurs;
    EXPECT_EQ (SerialPort::listPorts().size(), 0);

    testsupport::PseudoTerminal line;
    ASSERT_TRUE (line.isValid());
    auto number = PortRegistry::registerDevice (line.getSlavePath(), "Test Board");
    ASSERT_GT (number, 0);

    auto ports = SerialPort::listPorts();
    ASSERT_EQ (ports.size(), 1);

    auto comName = "COM" + juce::String (number);
    auto name = "Test Board " + juce::String (line.getSlavePath()) + " (" + comName + ")";
    EXPECT_EQ (ports.getAllKeys()[0], name);
    EXPECT_EQ (ports.getAllValues()[0], juce::String (line.getSlavePath()));
    EXPECT_EQ (ports.getValue (name.toLowerCase(), {}), juce::String (line.getSlavePath()));

    SerialPort port;
    EXPECT_TRUE (port.open ("\\\\.\\" + comName));
    EXPECT_TRUE (port.setConfig (boardLine));
}

TEST (SerialPortList, EachNameGoesWithItsOwnDevice)
{
    PortRegistry::ScopedRegisteredDevicesOnly onlyOurs;
    testsupport::PseudoTerminal a, b;
    ASSERT_TRUE (a.isValid() && b.isValid());

    PortRegistry::registerDevice (a.getSlavePath(), "Board A");
    PortRegistry::registerDevice (b.getSlavePath(), "Board B");

    auto ports = SerialPort::listPorts();
    ASSERT_EQ (ports.size(), 2);

    for (auto& key : ports.getAllKeys())
    {
        auto path = ports[key];
        auto& expected = key.startsWith ("Board A") ? a : b;
        EXPECT_EQ (path, juce::String (expected.getSlavePath())) << key;
        EXPECT_TRUE (key.contains (path)) << key;
        EXPECT_EQ (key.indexOf ("COM"), key.lastIndexOf ("COM")) << key;
    }
}

#endif
