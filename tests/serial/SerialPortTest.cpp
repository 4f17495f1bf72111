#include <gtest/gtest.h>

#include "serial/SerialPort.h"
#include "serial/platform/PortRegistry.h"
#include "support/PseudoTerminal.h"

#include <cstring>
#include <tuple>

namespace
{
// The DWORD of bit fields that follows DCBlength and BaudRate.
DWORD flagWord (const DCB& dcb)
{
    DWORD word = 0;
    std::memcpy (&word, reinterpret_cast<const char*> (&dcb) + 2 * sizeof (DWORD), sizeof (word));
    return word;
}

const SerialPortConfig linkLine{ 57600, 8, 0, 0, 0 };
} // namespace

TEST (SerialPortDcb, LinkLineSettings)
{
    const auto dcb = SerialPort::makeDcb (linkLine);

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

TEST (SerialPortDcb, OtherCodes)
{
    const std::tuple<int, BYTE, DWORD> parities[] = { { 1, ODDPARITY, 1 },  { 2, EVENPARITY, 1 }, { 3, SPACEPARITY, 1 },
                                                      { 4, MARKPARITY, 1 }, { 0, NOPARITY, 0 },   { 9, NOPARITY, 0 },
                                                      { -1, NOPARITY, 0 } };
    for (auto [code, parity, checked] : parities)
    {
        const auto dcb = SerialPort::makeDcb ({ 9600, 8, code, 0, 0 });
        EXPECT_EQ (dcb.Parity, parity) << "code " << code;
        EXPECT_EQ (dcb.fParity, checked) << "code " << code;
    }

    EXPECT_EQ (SerialPort::makeDcb ({ 9600, 5, 0, 1, 0 }).StopBits, ONE5STOPBITS);
    EXPECT_EQ (SerialPort::makeDcb ({ 9600, 8, 0, 2, 0 }).StopBits, TWOSTOPBITS);
    EXPECT_EQ (SerialPort::makeDcb ({ 9600, 8, 0, 7, 0 }).StopBits, ONESTOPBIT);
    EXPECT_EQ (SerialPort::makeDcb ({ 9600, 0x107, 0, 0, 0 }).ByteSize, 7); // low 8 bits only

    const auto hardware = SerialPort::makeDcb ({ 9600, 8, 0, 0, 1 });
    EXPECT_EQ (hardware.fOutxCtsFlow + hardware.fOutxDsrFlow, 2u);
    EXPECT_EQ (hardware.fDtrControl, (DWORD) DTR_CONTROL_HANDSHAKE);
    EXPECT_EQ (hardware.fRtsControl, (DWORD) RTS_CONTROL_HANDSHAKE);
    EXPECT_EQ (hardware.fOutX, 0u);

    const auto software = SerialPort::makeDcb ({ 9600, 8, 0, 0, 2 });
    EXPECT_EQ (software.fOutX + software.fInX, 2u);
    EXPECT_EQ (software.fDtrControl, (DWORD) DTR_CONTROL_ENABLE);

    EXPECT_EQ (flagWord (SerialPort::makeDcb ({ 9600, 8, 0, 0, 3 })), 0x1011u) << "an unknown code is none";
}

TEST (SerialPortOpen, MissingOrHeldDevicesAreRefused)
{
    SerialPort port;
    EXPECT_FALSE (port.open ("/dev/no-such-serial-device"));
    EXPECT_FALSE (port.isOpen());
    EXPECT_EQ (port.path, "/dev/no-such-serial-device");
    EXPECT_FALSE (port.setConfig (linkLine)) << "no handle to configure";
    port.close();

    testsupport::PseudoTerminal line;
    ASSERT_TRUE (line.isValid());
    SerialPort first, second;
    ASSERT_TRUE (first.open (line.getSlavePath()));
#if defined(_WIN32)
    if (testsupport::runningUnderWine())
        return; // wine lets a second handle open a port that is open; Windows' drivers don't
#endif
    EXPECT_FALSE (second.open (line.getSlavePath()));
    EXPECT_EQ (second.handle, nullptr);

    first.close();
    EXPECT_FALSE (first.isOpen());
    EXPECT_TRUE (second.open (line.getSlavePath()));
}

TEST (SerialPortOpen, AppliesTheLineSettingsAndStaysRaw)
{
    testsupport::PseudoTerminal line;
    SerialPort port;
    ASSERT_TRUE (line.isValid() && port.open (line.getSlavePath()));
    EXPECT_TRUE (port.setConfig (linkLine));

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
    EXPECT_FALSE (port.setConfig ({ 12345, 8, 0, 0, 0 }));
    EXPECT_TRUE (port.setConfig ({ 115200, 8, 2, 2, 0 }));
    ASSERT_TRUE (line.getLineSettings (settings));
    EXPECT_EQ (cfgetospeed (&settings), (speed_t) B115200);
#endif
}

// Pseudo-terminals are listed through the registry, which Windows does not have.
#if ! defined(_WIN32)
TEST (SerialPortList, ListsRegisteredPseudoTerminalsAndOpensThemByComName)
{
    PortRegistry::ScopedRegisteredDevicesOnly onlyOurs;
    EXPECT_EQ (SerialPort::listPorts().size(), 0);

    testsupport::PseudoTerminal a, b;
    ASSERT_TRUE (a.isValid() && b.isValid());
    const auto comA = "COM" + juce::String (PortRegistry::registerDevice (a.getSlavePath(), "Board A"));
    const auto comB = "COM" + juce::String (PortRegistry::registerDevice (b.getSlavePath(), "Board B"));

    const auto ports = SerialPort::listPorts();
    ASSERT_EQ (ports.size(), 2);
    const auto nameA = "Board A " + juce::String (a.getSlavePath()) + " (" + comA + ")";
    const auto nameB = "Board B " + juce::String (b.getSlavePath()) + " (" + comB + ")";
    EXPECT_EQ (ports.getValue (nameA, {}), juce::String (a.getSlavePath()));
    EXPECT_EQ (ports.getValue (nameB.toLowerCase(), {}), juce::String (b.getSlavePath()));

    // The name opens its own device: only that one takes the settings.
    SerialPort port;
    ASSERT_TRUE (port.open ("\\\\.\\" + comB));
    EXPECT_TRUE (port.setConfig ({ 1200, 8, 0, 0, 0 }));
    termios settingsA{}, settingsB{};
    ASSERT_TRUE (a.getLineSettings (settingsA) && b.getLineSettings (settingsB));
    EXPECT_EQ (cfgetospeed (&settingsB), (speed_t) B1200);
    EXPECT_NE (cfgetospeed (&settingsA), (speed_t) B1200);
}
#endif
