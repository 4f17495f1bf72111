#include <gtest/gtest.h>

#include "serial/platform/SerialPlatform.h"
#include "support/PseudoTerminal.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

namespace
{
struct Handle
{
    explicit Handle (HANDLE h)
        : handle (h)
    {
    }
    ~Handle()
    {
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE)
            CloseHandle (handle);
    }

    Handle (const Handle&) = delete;
    Handle& operator= (const Handle&) = delete;

    HANDLE handle;
};

HANDLE openDevice (const std::string& path)
{
    return CreateFileA (path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED,
                        nullptr);
}

struct Overlapped
{
    Overlapped()
        : event (CreateEventA (nullptr, 1, 0, nullptr))
    {
        record.hEvent = event.handle;
    }

    Handle event;
    OVERLAPPED record{};
};
} // namespace

TEST (SerialPlatformEvents, AutoResetWakesOneWaitManualResetStays)
{
    Handle autoEvent (CreateEventW (nullptr, 0, 0, nullptr));
    Handle manualEvent (CreateEventA (nullptr, 1, 1, nullptr));
    ASSERT_NE (autoEvent.handle, nullptr);

    EXPECT_EQ (WaitForSingleObject (autoEvent.handle, 20), (DWORD) WAIT_TIMEOUT);
    EXPECT_TRUE (SetEvent (autoEvent.handle));
    EXPECT_EQ (WaitForSingleObject (autoEvent.handle, 0), (DWORD) WAIT_OBJECT_0);
    EXPECT_EQ (WaitForSingleObject (autoEvent.handle, 0), (DWORD) WAIT_TIMEOUT);

    EXPECT_EQ (WaitForSingleObject (manualEvent.handle, 0), (DWORD) WAIT_OBJECT_0);
    EXPECT_EQ (WaitForSingleObject (manualEvent.handle, 0), (DWORD) WAIT_OBJECT_0);
    EXPECT_TRUE (ResetEvent (manualEvent.handle));
    EXPECT_EQ (WaitForSingleObject (manualEvent.handle, 0), (DWORD) WAIT_TIMEOUT);

    std::thread setter (
        [&]
        {
            std::this_thread::sleep_for (std::chrono::milliseconds (20));
            SetEvent (autoEvent.handle);
        });
    EXPECT_EQ (WaitForSingleObject (autoEvent.handle, 10000), (DWORD) WAIT_OBJECT_0);
    setter.join();

    EXPECT_EQ (WaitForSingleObject (nullptr, 0), (DWORD) WAIT_FAILED);
    EXPECT_FALSE (CloseHandle (nullptr));
}

// The behaviour of the POSIX stand-in for a serial device, over pseudo-terminals.
#if ! defined(_WIN32)

TEST (SerialPlatformDevice, OpenIsExclusiveAndRaw)
{
    testsupport::PseudoTerminal line;
    ASSERT_TRUE (line.isValid());

    {
        Handle device (openDevice (line.getSlavePath()));
        ASSERT_NE (device.handle, INVALID_HANDLE_VALUE);

        Handle second (openDevice (line.getSlavePath()));
        EXPECT_EQ (second.handle, INVALID_HANDLE_VALUE);
        EXPECT_EQ (GetLastError(), (DWORD) ERROR_SHARING_VIOLATION);

        // Without any SetCommState, CR, LF, XON, XOFF and the control codes
        // pass unchanged both ways.
        const std::vector<uint8_t> bytes = { 0x0A, 0x0D, 0x11, 0x13, 0x03, 0x04, 0x7F, 0x00, 0xFF, 0x0D, 0x0A };
        ASSERT_TRUE (line.writeFromFarSide (bytes));

        std::vector<uint8_t> received;
        for (int tries = 0; received.size() < bytes.size() && tries < 500; ++tries)
        {
            uint8_t byte;
            DWORD got = 0;
            ASSERT_TRUE (ReadFile (device.handle, &byte, 1, &got, nullptr));

            if (got == 1)
                received.push_back (byte);
            else
                std::this_thread::sleep_for (std::chrono::milliseconds (2));
        }
        EXPECT_EQ (received, bytes);

        Overlapped io;
        DWORD written = 0;
        EXPECT_TRUE (WriteFile (device.handle, bytes.data(), (DWORD) bytes.size(), &written, &io.record));
        EXPECT_EQ (written, bytes.size());
        EXPECT_EQ (line.readFromFarSide (bytes.size()), bytes);
    }

    Handle again (openDevice (line.getSlavePath()));
    EXPECT_NE (again.handle, INVALID_HANDLE_VALUE);
}

TEST (SerialPlatformDevice, RefusesLineSettingsDriversRefuse)
{
    testsupport::PseudoTerminal line;
    Handle device (openDevice (line.getSlavePath()));
    ASSERT_NE (device.handle, INVALID_HANDLE_VALUE);

    DCB dcb{};
    dcb.DCBlength = sizeof (dcb);
    dcb.BaudRate = 57600;
    dcb.fBinary = 1;
    dcb.ByteSize = 8;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    EXPECT_TRUE (SetCommState (device.handle, &dcb));

    auto refused = [&] (auto change)
    {
        auto copy = dcb;
        change (copy);
        return ! SetCommState (device.handle, &copy) && GetLastError() == ERROR_INVALID_PARAMETER;
    };

    EXPECT_TRUE (refused ([] (DCB& d) { d.XoffChar = d.XonChar; }));
    EXPECT_TRUE (refused ([] (DCB& d) { d.StopBits = ONE5STOPBITS; }));
    EXPECT_TRUE (refused ([] (DCB& d) { d.ByteSize = 9; }));
    EXPECT_TRUE (refused ([] (DCB& d) { d.BaudRate = 0; }));
    EXPECT_TRUE (refused ([] (DCB& d) { d.Parity = 5; }));
    EXPECT_FALSE (refused ([] (DCB& d) { d.Parity = MARKPARITY; }));
}

TEST (SerialPlatformDevice, CommEventWaitEndsWhenAByteArrives)
{
    testsupport::PseudoTerminal line;
    Handle device (openDevice (line.getSlavePath()));
    ASSERT_NE (device.handle, INVALID_HANDLE_VALUE);
    ASSERT_TRUE (SetCommMask (device.handle, (DWORD) EV_RXCHAR));

    Overlapped io;
    DWORD events = 0;
    EXPECT_FALSE (WaitCommEvent (device.handle, &events, &io.record));
    EXPECT_EQ (GetLastError(), (DWORD) ERROR_IO_PENDING);
    EXPECT_EQ (WaitForSingleObject (io.event.handle, 30), (DWORD) WAIT_TIMEOUT);

    // A second wait while one is on is refused.
    DWORD otherEvents = 0;
    Overlapped other;
    EXPECT_FALSE (WaitCommEvent (device.handle, &otherEvents, &other.record));
    EXPECT_EQ (GetLastError(), (DWORD) ERROR_INVALID_PARAMETER);

    const uint8_t byte = 0x42;
    ASSERT_TRUE (line.writeFromFarSide (&byte, 1));
    EXPECT_EQ (WaitForSingleObject (io.event.handle, 10000), (DWORD) WAIT_OBJECT_0);
    EXPECT_EQ (events, (DWORD) EV_RXCHAR);

    // Bytes already waiting end a new wait at once.
    EXPECT_TRUE (WaitCommEvent (device.handle, &events, &io.record));
    EXPECT_EQ (WaitForSingleObject (io.event.handle, 0), (DWORD) WAIT_OBJECT_0);
}

TEST (SerialPlatformDevice, PendingWriteCompletesLaterOrIsCancelledWithoutLosingCount)
{
    testsupport::PseudoTerminal line;
    Handle device (openDevice (line.getSlavePath()));
    ASSERT_NE (device.handle, INVALID_HANDLE_VALUE);

    std::vector<uint8_t> bytes (1 << 20);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = (uint8_t) (i * 7 + i / 251);

    // The far side reads nothing yet: the line takes only part.
    Overlapped io;
    DWORD written = 0;
    ASSERT_FALSE (WriteFile (device.handle, bytes.data(), (DWORD) bytes.size(), &written, &io.record));
    ASSERT_EQ (GetLastError(), (DWORD) ERROR_IO_PENDING);
    EXPECT_EQ (WaitForSingleObject (io.event.handle, 50), (DWORD) WAIT_TIMEOUT);
    EXPECT_FALSE (GetOverlappedResult (device.handle, &io.record, &written, 0));
    EXPECT_EQ (GetLastError(), (DWORD) ERROR_IO_INCOMPLETE);

    // Once the board reads, the write goes on while someone waits for it.
    std::vector<uint8_t> received;
    while (WaitForSingleObject (io.event.handle, 10) != (DWORD) WAIT_OBJECT_0)
    {
        auto more = line.readUntilQuiet (5, 1000);
        received.insert (received.end(), more.begin(), more.end());
        ASSERT_LE (received.size(), bytes.size());
    }

    EXPECT_TRUE (GetOverlappedResult (device.handle, &io.record, &written, 1));
    EXPECT_EQ (written, bytes.size());
    auto rest = line.readFromFarSide (bytes.size() - received.size(), 10000);
    received.insert (received.end(), rest.begin(), rest.end());
    EXPECT_TRUE (received == bytes);

    // Cancelled part way, the write reports exactly what the far side got.
    ASSERT_FALSE (WriteFile (device.handle, bytes.data(), (DWORD) bytes.size(), &written, &io.record));
    ASSERT_EQ (GetLastError(), (DWORD) ERROR_IO_PENDING);
    EXPECT_TRUE (CancelIo (device.handle));
    EXPECT_EQ (WaitForSingleObject (io.event.handle, 0), (DWORD) WAIT_OBJECT_0);
    EXPECT_FALSE (GetOverlappedResult (device.handle, &io.record, &written, 1));
    EXPECT_EQ (GetLastError(), (DWORD) ERROR_OPERATION_ABORTED);

    auto partial = line.readUntilQuiet (100, 10000);
    EXPECT_EQ (partial.size(), written);
    EXPECT_TRUE (std::equal (partial.begin(), partial.end(), bytes.begin()));
}

TEST (SerialPlatformDevice, HungUpLineFailsInsteadOfWaking)
{
    testsupport::PseudoTerminal line;
    Handle device (openDevice (line.getSlavePath()));
    ASSERT_NE (device.handle, INVALID_HANDLE_VALUE);
    ASSERT_TRUE (SetCommMask (device.handle, (DWORD) EV_RXCHAR));

    Overlapped io;
    DWORD events = 0;
    EXPECT_FALSE (WaitCommEvent (device.handle, &events, &io.record));
    EXPECT_EQ (GetLastError(), (DWORD) ERROR_IO_PENDING);

    line.closeFarSide();

    // The wait in progress ends, with a failure...
    EXPECT_EQ (WaitForSingleObject (io.event.handle, 10000), (DWORD) WAIT_OBJECT_0);
    EXPECT_FALSE (GetOverlappedResult (device.handle, &io.record, &events, 1));

    // ...and later ones fail at once without setting their event, so a loop
    // that waits on it pauses instead of spinning.
    ResetEvent (io.event.handle);
    EXPECT_FALSE (WaitCommEvent (device.handle, &events, &io.record));
    EXPECT_NE (GetLastError(), (DWORD) ERROR_IO_PENDING);
    EXPECT_EQ (WaitForSingleObject (io.event.handle, 20), (DWORD) WAIT_TIMEOUT);

    uint8_t byte = 0;
    DWORD count = 1;
    ReadFile (device.handle, &byte, 1, &count, &io.record);
    EXPECT_EQ (count, 0u);

    EXPECT_FALSE (WriteFile (device.handle, &byte, 1, &count, &io.record));
    EXPECT_NE (GetLastError(), (DWORD) ERROR_IO_PENDING);
    EXPECT_EQ (WaitForSingleObject (io.event.handle, 20), (DWORD) WAIT_TIMEOUT);
}

#endif

TEST (SerialPlatformSetupApi, ReportsSizesAndEndsEnumeration)
{
    HDEVINFO set =
        SetupDiGetClassDevsA (&GUID_DEVINTERFACE_COMPORT, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    ASSERT_NE (set, INVALID_HANDLE_VALUE);

    SP_DEVICE_INTERFACE_DATA interfaceData{};
    interfaceData.cbSize = 28; // a 32-bit process's size is refused here
    EXPECT_FALSE (SetupDiEnumDeviceInterfaces (set, nullptr, &GUID_DEVINTERFACE_COMPORT, 0, &interfaceData));
#if ! defined(_WIN32)
    EXPECT_EQ (GetLastError(), (DWORD) ERROR_INVALID_USER_BUFFER);
#endif

    interfaceData.cbSize = sizeof (interfaceData);
    EXPECT_FALSE (SetupDiEnumDeviceInterfaces (set, nullptr, &GUID_DEVINTERFACE_COMPORT, 100000, &interfaceData));
    EXPECT_EQ (GetLastError(), (DWORD) ERROR_NO_MORE_ITEMS);

    EXPECT_TRUE (SetupDiDestroyDeviceInfoList (set));
    EXPECT_FALSE (SetupDiDestroyDeviceInfoList (set));
}
