// What the streams rely on from the POSIX stand-in for the comm API, below
// what the stream tests show: a comm-event wait ends as soon as a byte is
// there, and a line that has hung up fails at once instead of waking anyone.
#if ! defined(_WIN32)

#include <gtest/gtest.h>

#include "serial/platform/SerialPlatform.h"
#include "support/PseudoTerminal.h"

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

    HANDLE handle;
};

struct Overlapped
{
    Overlapped() { record.hEvent = event.handle; }

    Handle event{ CreateEventA (nullptr, 1, 0, nullptr) };
    OVERLAPPED record{};
};

// A pseudo-terminal opened as the program opens a port.
struct Device
{
    testsupport::PseudoTerminal line;
    Handle device{ CreateFileA (line.getSlavePath().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OVERLAPPED, nullptr) };
    HANDLE handle = device.handle;
};
} // namespace

TEST (SerialPlatformDevice, CommEventWaitEndsWithAByteOrFailsOnceHungUp)
{
    Device d;
    ASSERT_NE (d.handle, INVALID_HANDLE_VALUE);
    ASSERT_TRUE (SetCommMask (d.handle, (DWORD) EV_RXCHAR));

    Overlapped io, other;
    DWORD events = 0;
    EXPECT_FALSE (WaitCommEvent (d.handle, &events, &io.record));
    EXPECT_EQ (GetLastError(), (DWORD) ERROR_IO_PENDING);
    EXPECT_FALSE (WaitCommEvent (d.handle, &events, &other.record)) << "a second wait while one is on";
    EXPECT_EQ (GetLastError(), (DWORD) ERROR_INVALID_PARAMETER);

    ASSERT_TRUE (d.line.writeFromFarSide ("B", 1));
    EXPECT_EQ (WaitForSingleObject (io.event.handle, 10000), (DWORD) WAIT_OBJECT_0);
    EXPECT_EQ (events, (DWORD) EV_RXCHAR);
    EXPECT_TRUE (WaitCommEvent (d.handle, &events, &io.record)) << "bytes already waiting end a wait at once";

    uint8_t byte = 0;
    DWORD count = 0;
    ASSERT_TRUE (ReadFile (d.handle, &byte, 1, &count, nullptr) && count == 1);
    ResetEvent (io.event.handle);
    EXPECT_FALSE (WaitCommEvent (d.handle, &events, &io.record));
    EXPECT_EQ (GetLastError(), (DWORD) ERROR_IO_PENDING);

    // The wait in progress ends with a failure when the line hangs up...
    d.line.closeFarSide();
    EXPECT_EQ (WaitForSingleObject (io.event.handle, 10000), (DWORD) WAIT_OBJECT_0);
    EXPECT_FALSE (GetOverlappedResult (d.handle, &io.record, &events, 1));

    // ...and later ones fail at once without setting their event, so a loop
    // that waits on it pauses instead of spinning.
    ResetEvent (io.event.handle);
    EXPECT_FALSE (WaitCommEvent (d.handle, &events, &io.record));
    EXPECT_NE (GetLastError(), (DWORD) ERROR_IO_PENDING);
    count = 1;
    ReadFile (d.handle, &byte, 1, &count, &io.record);
    EXPECT_EQ (count, 0u);
    EXPECT_FALSE (WriteFile (d.handle, &byte, 1, &count, &io.record));
    EXPECT_NE (GetLastError(), (DWORD) ERROR_IO_PENDING);
    EXPECT_EQ (WaitForSingleObject (io.event.handle, 20), (DWORD) WAIT_TIMEOUT);
}
#endif
