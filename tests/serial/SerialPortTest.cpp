#include <gtest/gtest.h>

#include "serial/SerialPort.h"
#include "support/PseudoTerminal.h"

#include <cstring>
#include <future>
#include <tuple>

#if ! defined(_WIN32)
#include "serial/platform/posix/LineSettings.h"

#include <fcntl.h>
#include <unistd.h>
#endif

namespace
{
const SerialPortConfig linkLine{ 57600, 8, 0, 0, 0 };
} // namespace

// The word of bit fields after DCBlength and BaudRate: 0x1011 is binary with DTR
// and RTS on, 0x0002 checks parity, 0x202D is CTS, DSR, DTR and RTS
// handshaking and 0x1311 XON/XOFF both ways.
TEST (SerialPortDcb, CodesBecomeTheDriversSettings)
{
    const std::tuple<SerialPortConfig, BYTE, BYTE, BYTE, DWORD> cases[] = {
        { linkLine, NOPARITY, ONESTOPBIT, 8, 0x1011 },
        { { 9600, 8, 1, 2, 0 }, ODDPARITY, TWOSTOPBITS, 8, 0x1013 },
        { { 9600, 5, 2, 1, 0 }, EVENPARITY, ONE5STOPBITS, 5, 0x1013 },
        { { 9600, 0x107, 3, 7, 3 }, SPACEPARITY, ONESTOPBIT, 7, 0x1013 }, // unknown codes count as none
        { { 9600, 8, 4, -1, 1 }, MARKPARITY, ONESTOPBIT, 8, 0x202F },
        { { 9600, 8, 9, 0, 2 }, NOPARITY, ONESTOPBIT, 8, 0x1311 },
        { { 9600, 8, -1, 0, -1 }, NOPARITY, ONESTOPBIT, 8, 0x1011 },
    };

    for (const auto& [config, parity, stopBits, byteSize, flags] : cases)
    {
        const auto dcb = SerialPort::makeDcb (config);
        DWORD flagWord = 0;
        std::memcpy (&flagWord, reinterpret_cast<const char*> (&dcb) + 2 * sizeof (DWORD), sizeof (flagWord));
        SCOPED_TRACE (testing::Message() << "parity " << config.parity << ", flow " << config.flowControl);
        EXPECT_EQ (dcb.DCBlength * 100000 + dcb.BaudRate, 28 * 100000 + (DWORD) config.bps);
        EXPECT_EQ (flagWord, flags);
        EXPECT_EQ (dcb.Parity * 10000 + dcb.StopBits * 100 + dcb.ByteSize, parity * 10000 + stopBits * 100 + byteSize);
        EXPECT_EQ (dcb.XonLim * 10000 + dcb.XoffLim, 2048 * 10000 + 512);
        EXPECT_NE (dcb.XonChar, dcb.XoffChar) << "drivers refuse equal XON and XOFF characters";
    }
}

#if ! defined(_WIN32)
// A pseudo-terminal forces eight data bits and no parity whatever it is told,
// so the line settings are checked where they are made.
TEST (SerialLineSettings, FollowTheDcbOnARawLine)
{
    termios cooked{};
    cooked.c_iflag = ICRNL | INLCR | IXON | IXANY | INPCK | PARMRK;
    cooked.c_oflag = OPOST | ONLCR;
    cooked.c_lflag = ICANON | ECHO | ISIG | IEXTEN;
    cooked.c_cflag = CS7 | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
    cooked.c_cc[VMIN] = 1;

    const std::tuple<SerialPortConfig, tcflag_t, tcflag_t, speed_t> cases[] = {
        { linkLine, CS8, 0, B57600 },
        { { 1200, 7, 1, 2, 0 }, CS7 | PARENB | PARODD | CSTOPB, INPCK, B1200 },
        { { 115200, 6, 2, 0, 1 }, CS6 | PARENB | CRTSCTS, INPCK, B115200 },
        { { 300, 5, 3, 1, 2 }, CS5 | PARENB | CMSPAR | CSTOPB, INPCK | IXON | IXOFF, B300 }, // space
        { { 4800, 8, 4, 0, 0 }, CS8 | PARENB | CMSPAR | PARODD, INPCK, B4800 },              // mark
    };

    for (const auto& [config, frame, input, speed] : cases)
    {
        auto settings = cooked;
        SCOPED_TRACE (config.bps);
        ASSERT_TRUE (serialplatform::lineSettingsFor (SerialPort::makeDcb (config), settings));
        EXPECT_EQ (settings.c_cflag & (CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CLOCAL | CREAD),
                   frame | CLOCAL | CREAD);
        EXPECT_EQ (settings.c_iflag & (INPCK | IXON | IXOFF | IXANY | ICRNL | INLCR | PARMRK), input);
        EXPECT_EQ ((settings.c_lflag & (ICANON | ECHO | ISIG)) | (settings.c_oflag & OPOST), 0u);
        EXPECT_EQ (settings.c_cc[VMIN] + settings.c_cc[VTIME], 0);
        EXPECT_EQ (settings.c_cc[VSTART] * 256 + settings.c_cc[VSTOP], 0x1113);
        EXPECT_EQ (cfgetospeed (&settings), speed);
        EXPECT_EQ (cfgetispeed (&settings), speed);
    }

    // Each fault alone is enough for the record to be refused.
    using Fault = void (*) (DCB&);
    const Fault faults[] = {
        [] (DCB& d) { d.BaudRate = 12345; },     [] (DCB& d) { d.ByteSize = 4; },
        [] (DCB& d) { d.ByteSize = 9; },         [] (DCB& d) { d.Parity = SPACEPARITY + 1; },
        [] (DCB& d) { d.StopBits = 3; },         [] (DCB& d) { d.StopBits = ONE5STOPBITS; },
        [] (DCB& d) { d.XoffChar = d.XonChar; }, [] (DCB& d) { d.ByteSize = 5, d.StopBits = TWOSTOPBITS; },
    };

    for (size_t i = 0; i < std::size (faults); ++i)
    {
        auto dcb = SerialPort::makeDcb (linkLine);
        auto settings = cooked;
        faults[i](dcb);
        EXPECT_FALSE (serialplatform::lineSettingsFor (dcb, settings)) << i;
        EXPECT_EQ (std::memcmp (&settings, &cooked, sizeof (settings)), 0) << i;
    }
}

// A write the line can't take whole waits for room instead of failing.
TEST (SerialPlatform, WriteIntoAFullLineStaysPendingUntilTheFarSideReads)
{
    testsupport::PseudoTerminal line;
    SerialPort port;
    ASSERT_TRUE (line.isValid() && port.open (line.getSlavePath()));
    std::vector<uint8_t> bytes (1 << 18);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = (uint8_t) (i * 7 + i / 251);

    OVERLAPPED io{};
    io.hEvent = CreateEventA (nullptr, 1, 0, nullptr);
    DWORD written = 0;
    EXPECT_FALSE (WriteFile (port.handle, bytes.data(), (DWORD) bytes.size(), &written, &io));
    EXPECT_EQ (GetLastError(), (DWORD) ERROR_IO_PENDING);
    auto done = std::async (std::launch::async, [&] { return GetOverlappedResult (port.handle, &io, &written, 1); });
    EXPECT_EQ (line.readFromFarSide (bytes.size()), bytes);
    EXPECT_TRUE (done.get());
    EXPECT_EQ (written, (DWORD) bytes.size());
    CloseHandle (io.hEvent);
}

int lowestFreeDescriptor()
{
    const int fd = ::open ("/dev/null", O_RDONLY);
    ::close (fd);
    return fd;
}
#endif

TEST (SerialPortOpen, RefusesMissingHeldAndOtherDevicesAndKeepsNothingOpen)
{
    SerialPort port;
    EXPECT_FALSE (port.setConfig (linkLine)) << "nothing open";
    EXPECT_FALSE (port.open ("/dev/no-such-serial-device"));
    EXPECT_FALSE (port.isOpen());
    EXPECT_EQ (port.path, "/dev/no-such-serial-device");
    EXPECT_FALSE (port.setConfig (linkLine));

    testsupport::PseudoTerminal line;
    SerialPort first, second;
    ASSERT_TRUE (line.isValid() && first.open (line.getSlavePath()));
    EXPECT_TRUE (first.setConfig (linkLine));
    EXPECT_FALSE (first.setConfig ({ 12345, 8, 0, 0, 0 })) << "a rate the line does not know";
    EXPECT_TRUE (first.open (line.getSlavePath())) << "the device held so far is let go first";
#if defined(_WIN32)
    if (testsupport::runningUnderWine())
        return; // wine lets a second handle open a port that is open; Windows' drivers don't
#else
    const int nextFree = lowestFreeDescriptor();
    EXPECT_FALSE (second.open ("/dev/null")) << "not a terminal";
#endif
    EXPECT_FALSE (second.open (line.getSlavePath()));
    EXPECT_EQ (second.handle, nullptr);
#if ! defined(_WIN32)
    EXPECT_EQ (lowestFreeDescriptor(), nextFree) << "a refused open keeps its descriptor";
#endif
    first.close();
    EXPECT_FALSE (first.isOpen());
    EXPECT_TRUE (second.open (line.getSlavePath()));
}
