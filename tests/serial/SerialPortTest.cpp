#include <gtest/gtest.h>

#include "serial/SerialPort.h"
#include "support/ProcessState.h"
#include "support/PseudoTerminal.h"

#include <cstring>
#include <tuple>

#if ! defined(_WIN32)
#include "serial/platform/PortRegistry.h"
#include "serial/platform/posix/LineSettings.h"
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

using std::make_tuple;

static const SerialPortConfig linkLine{ 57600, 8, 0, 0, 0 };

// The word of bit fields after BaudRate: 0x1011 is binary with DTR and RTS on, 0x0002 checks
// parity, 0x202D is CTS, DSR, DTR and RTS handshaking and 0x1311 XON/XOFF both ways.
TEST (SerialPortDcb, CodesBecomeTheDriversSettings)
{
    const std::tuple<SerialPortConfig, BYTE, BYTE, BYTE, DWORD> cases[] = {
        { linkLine, NOPARITY, ONESTOPBIT, 8, 0x1011 },
        { { 9600, 8, 1, 2, 0 }, ODDPARITY, TWOSTOPBITS, 8, 0x1013 },
        { { 9600, 5, 2, 1, 0 }, EVENPARITY, ONE5STOPBITS, 5, 0x1013 },
        { { 9600, 0x107, 3, 7, 3 }, SPACEPARITY, ONESTOPBIT, 7, 0x1013 }, // unknown codes count as none
        { { 9600, 8, 4, -1, 1 }, MARKPARITY, ONESTOPBIT, 8, 0x202F },
        { { 9600, 8, 9, 0, 2 }, NOPARITY, ONESTOPBIT, 8, 0x1311 },
    };

    for (const auto& [config, parity, stopBits, byteSize, flags] : cases)
    {
        const auto dcb = SerialPort::makeDcb (config);
        DWORD flagWord = 0;
        std::memcpy (&flagWord, &dcb.BaudRate + 1, sizeof (flagWord));
        EXPECT_EQ (make_tuple (dcb.Parity, dcb.StopBits, dcb.ByteSize, flagWord, dcb.BaudRate),
                   make_tuple (parity, stopBits, byteSize, flags, (DWORD) config.bps));
        EXPECT_EQ (make_tuple (dcb.DCBlength, dcb.XonLim, dcb.XoffLim), make_tuple (28u, 2048, 512));
        EXPECT_NE (dcb.XonChar, dcb.XoffChar) << "drivers refuse equal XON and XOFF characters";
    }
}

#if ! defined(_WIN32)
// A pseudo-terminal forces 8 data bits and no parity whatever it is told: check where the settings are made.
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
        auto s = cooked;
        ASSERT_TRUE (serialplatform::lineSettingsFor (SerialPort::makeDcb (config), s)) << config.bps;
        EXPECT_EQ (make_tuple (s.c_cflag & (CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CLOCAL | CREAD),
                               s.c_iflag & (INPCK | IXON | IXOFF | IXANY | ICRNL | INLCR | PARMRK), cfgetispeed (&s),
                               cfgetospeed (&s)),
                   make_tuple (frame | CLOCAL | CREAD, input, speed, speed));
        EXPECT_EQ (make_tuple (s.c_lflag & (ICANON | ECHO | ISIG), s.c_oflag & OPOST, s.c_cc[VMIN], s.c_cc[VTIME]),
                   make_tuple (0u, 0u, 0, 0));
        EXPECT_EQ (make_tuple (s.c_cc[VSTART], s.c_cc[VSTOP]), make_tuple (0x11, 0x13));
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
        auto s = cooked;
        faults[i](dcb);
        EXPECT_FALSE (serialplatform::lineSettingsFor (dcb, s)) << i;
        EXPECT_EQ (std::memcmp (&s, &cooked, sizeof (s)), 0) << i;
    }
}

#endif

TEST (SerialPortOpen, RefusesMissingHeldAndOtherDevicesAndKeepsNothingOpen)
{
    SerialPort port;
    EXPECT_FALSE (port.setConfig (linkLine) || port.open ("/dev/no-such-serial-device") || port.isOpen()
                  || port.setConfig (linkLine));
    EXPECT_EQ (port.path, "/dev/no-such-serial-device");

    testsupport::PseudoTerminal line;
    SerialPort first, second;
    ASSERT_TRUE (line.isValid() && first.open (line.getSlavePath()));
    EXPECT_TRUE (first.setConfig (linkLine));
    EXPECT_TRUE (first.open (line.getSlavePath())) << "the device held so far is let go first";

    // Wine takes any rate, and lets a second handle open a port that is open.
#if ! defined(_WIN32)
    EXPECT_FALSE (first.setConfig ({ 12345, 8, 0, 0, 0 })) << "a rate the line does not know";
    const auto descriptors = testsupport::openDescriptors();
    EXPECT_FALSE (second.open ("/dev/null") || second.open (line.getSlavePath()) || second.isOpen());
    EXPECT_EQ (testsupport::openDescriptors(), descriptors) << "a refused open keeps its descriptor";
    first.close();
    // Root passes a terminal's exclusive mode, so ask the terminal whether it is still set.
    const int other = ::open (line.getSlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    int exclusive = 1;
    EXPECT_TRUE (other >= 0 && ::ioctl (other, TIOCGEXCL, &exclusive) == 0 && exclusive == 0) << "closed, yet locked";
    ::close (other);

    // Another program may mark the line by exclusive mode alone, which the kernel lets root through.
    const int holder = ::open (line.getSlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_TRUE (holder >= 0 && ::ioctl (holder, TIOCEXCL) == 0);
    const auto withHolder = testsupport::openDescriptors();
    EXPECT_FALSE (second.open (line.getSlavePath()) || second.isOpen()) << "held in exclusive mode";
    EXPECT_EQ (testsupport::openDescriptors(), withHolder) << "a refused open keeps its descriptor";
    // A last close clears the mode of a real line; a pseudo-terminal's master keeps it.
    ::ioctl (holder, TIOCNXCL);
    ::close (holder);
    EXPECT_TRUE (second.open (line.getSlavePath()) && ! first.isOpen());
#endif
}

#if ! defined(_WIN32)
// The streams take a refusal of the calls beneath the port for a refusal.
TEST (SerialPlatform, CallsRefuseWhatWindowsRefuses)
{
    testsupport::PseudoTerminal line;
    PortRegistry::ScopedRegisteredDevicesOnly onlyOurs;
    PortRegistry::registerDevice (line.getSlavePath(), "Board");
    const auto bogus = reinterpret_cast<HANDLE> (0x7777);
    char byte = 'x';
    DWORD count = 0, mask = 0;
    OVERLAPPED io{}, second{};
    io.hEvent = CreateEventA (nullptr, 1, 0, nullptr);
    EXPECT_FALSE (ReadFile (bogus, &byte, 1, &count, &io) || ResetEvent (bogus));
    EXPECT_TRUE (ResetEvent (io.hEvent));

    auto open = [&] (DWORD access) {
        return CreateFileA (line.getSlavePath().c_str(), access, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED,
                            nullptr);
    };
    const HANDLE readOnly = open (GENERIC_READ);
    EXPECT_FALSE (WriteFile (readOnly, &byte, 1, &count, &io)) << "opened for reading only";
    EXPECT_NE (GetLastError(), (DWORD) ERROR_IO_PENDING);
    CloseHandle (readOnly);
    const HANDLE port = open (GENERIC_READ | GENERIC_WRITE);
    EXPECT_FALSE (WriteFile (port, &byte, 1, &count, nullptr)) << "no overlapped record";
    EXPECT_TRUE (ReadFile (port, &byte, 1, &count, nullptr) && count == 0) << "nothing has come";
    EXPECT_TRUE (SetCommMask (port, EV_RXCHAR));
    EXPECT_FALSE (WaitCommEvent (port, &mask, &io));
    EXPECT_FALSE (WaitCommEvent (port, &mask, &second)) << "one wait at a time";
    EXPECT_EQ (GetLastError(), (DWORD) ERROR_INVALID_PARAMETER);
    CloseHandle (port);
    CloseHandle (io.hEvent);

    auto set =
        SetupDiGetClassDevsA (&GUID_DEVINTERFACE_COMPORT, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof (device);
    BYTE name[64];
    DWORD type = 0;
    for (auto* record : { (SP_DEVINFO_DATA*) nullptr, &device })
    {
        EXPECT_FALSE (
            SetupDiGetDeviceRegistryPropertyA (set, record, SPDRP_FRIENDLYNAME, &type, name, sizeof (name), nullptr))
            << "a record never filled in names no device";
        EXPECT_EQ (GetLastError(), (DWORD) ERROR_INVALID_PARAMETER);
    }
    EXPECT_TRUE (
        SetupDiEnumDeviceInfo (set, 0, &device)
        && SetupDiGetDeviceRegistryPropertyA (set, &device, SPDRP_FRIENDLYNAME, &type, name, sizeof (name), nullptr));
    EXPECT_EQ (type, REG_SZ);
    SetupDiDestroyDeviceInfoList (set);
}
#endif
